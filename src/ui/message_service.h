#pragma once

#include <QString>

#include "base/user_prompt.h"

class QWidget;

namespace velsend::ui {

enum class MessageIcon { None, Information, Warning, Critical, Question };

// Every message box and file dialog of the program goes through one of these,
// so that GUI tests can answer them without a modal box ever blocking.
class MessageService : public base::UserPrompt {
  public:
    // The caption of every message box that does not name its own.
    static QString AppTitle();

    virtual void Message(QWidget* parent, const QString& text, const QString& caption,
                         MessageIcon icon) = 0;
    // True only for Yes.
    virtual bool Question(QWidget* parent, const QString& text, const QString& caption,
                          MessageIcon icon) = 0;
    // OK / Cancel; true only for OK. Stand-ins that script answers get it as
    // a Question().
    virtual bool Confirm(QWidget* parent, const QString& text, const QString& caption,
                         MessageIcon icon) {
        return Question(parent, text, caption, icon);
    }
    // Empty when the user cancelled.
    virtual QString OpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter) = 0;
    virtual QString SaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter) = 0;
    // A folder chosen by the user; empty when cancelled (and in stand-ins
    // that do not script it).
    virtual QString ExistingDirectory(QWidget*, const QString&, const QString&) { return {}; }

    // Core routines talk through these; the boxes open over `parent`.
    void SetPromptParent(QWidget* parent) { promptParent_ = parent; }
    void Inform(const std::string& text, const std::string& caption) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;

  private:
    QWidget* promptParent_ = nullptr;
};

// The real thing: QMessageBox and QFileDialog.
class WidgetMessageService final : public MessageService {
  public:
    void Message(QWidget* parent, const QString& text, const QString& caption,
                 MessageIcon icon) override;
    bool Question(QWidget* parent, const QString& text, const QString& caption,
                  MessageIcon icon) override;
    bool Confirm(QWidget* parent, const QString& text, const QString& caption,
                 MessageIcon icon) override;
    QString OpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                         const QString& filter) override;
    QString SaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                         const QString& filter) override;
    QString ExistingDirectory(QWidget* parent, const QString& caption,
                              const QString& dir) override;
};

}  // namespace velsend::ui

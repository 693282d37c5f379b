#pragma once

#include <QFileDialog>
#include <QString>
#include <memory>

#include "base/user_prompt.h"

class QWidget;

namespace velsend::gui::kit {

enum class MessageIcon { None, Information, Warning, Critical, Question };

// Where a file dialog of one kind (its filter) starts: the folder the last
// file of that kind came from.
class DialogFolders {
  public:
    virtual ~DialogFolders() = default;
    // Empty when nothing is known.
    virtual QString FolderFor(const QString& kind) const = 0;
    virtual void Remember(const QString& kind, const QString& folder) = 0;
};

// Where a file dialog given `dir` (empty, a bare name or a path) starts: an
// absolute `dir` as it is, else in the folder remembered for `kind`.
QString DialogStart(const DialogFolders* folders, const QString& dir, const QString& kind);

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
    // An existing folder chosen by the user; empty when cancelled (and in
    // stand-ins that do not script it).
    virtual QString ExistingFolder(QWidget*, const QString&, const QString&) { return {}; }

    // Core routines talk through these; the boxes open over `parent`.
    void SetPromptParent(QWidget* parent) { promptParent_ = parent; }
    void Inform(const std::string& text, const std::string& caption) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;

  private:
    QWidget* promptParent_ = nullptr;
};

// Qt's own file dialog opens too small to show more than the names: this one
// opens in the detail view, wide enough for name, size, type and date, and
// no larger than the screen.
std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* parent, const QString& caption,
                                            const QString& dir, const QString& filter,
                                            QFileDialog::AcceptMode accept,
                                            QFileDialog::FileMode mode);

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
    QString ExistingFolder(QWidget* parent, const QString& caption, const QString& dir) override;

    // File dialogs start where the last file of their kind was; a bare file
    // name as `dir` is proposed in that folder.
    void SetDialogFolders(DialogFolders* folders) { folders_ = folders; }

  private:
    void Note(const QString& chosen, const QString& filter);

    DialogFolders* folders_ = nullptr;
};

}  // namespace velsend::gui::kit

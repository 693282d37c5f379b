#pragma once

#include <QDialog>

#include "core/store/project_files.h"

namespace velsend::gui::kit {
class MessageService;
}

namespace velsend::gui::phrases {

// "确认？": confirms resetting the phrase library to empty (mode 0) or to
// the common phrases (mode 1).
class PhraseInitDlg : public QDialog {
    Q_OBJECT
  public:
    PhraseInitDlg(const velsend::store::ProjectDir& dir, int mode, kit::MessageService& messages,
                  QWidget* parent = nullptr);

    QString Text() const;

    void accept() override;

  private:
    velsend::store::ProjectDir dir_;
    int mode_;
    kit::MessageService& messages_;
    QString text_;
};

}  // namespace velsend::gui::phrases

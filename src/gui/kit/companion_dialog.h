#pragma once

#include <QDialog>

namespace velsend::gui::kit {

// A dialog that runs modally from a menu, or lives hidden beside an owner
// window and is shown modelessly from it. Closing it hands the activation
// back to the owner.
class CompanionDialog : public QDialog {
    Q_OBJECT
  public:
    using QDialog::QDialog;

    // `keepClear`: the part of the owner the window must not cover.
    void SetOwner(QWidget* owner, QWidget* keepClear = nullptr) {
        owner_ = owner;
        keepClear_ = keepClear;
    }

    // Shows the hidden window beside its owner, as a tool window kept above
    // it; when it is already shown it goes right behind its owner, where it is.
    void ShowModeless();
    void reject() override;

  private:
    QWidget* owner_ = nullptr;
    QWidget* keepClear_ = nullptr;
};

}  // namespace velsend::gui::kit

#include "gui/kit/companion_dialog.h"

namespace velsend::ui {

void CompanionDialog::ShowModeless() {
    if (!isVisible()) {
        show();
        return;
    }
    raise();
    if (owner_) {
        owner_->raise();
        owner_->activateWindow();
    }
}

void CompanionDialog::reject() {
    QDialog::reject();
    if (owner_) owner_->activateWindow();
}

}  // namespace velsend::ui

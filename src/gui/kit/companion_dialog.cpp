#include "gui/kit/companion_dialog.h"

#include "gui/kit/screen_fit.h"

namespace velsend::gui::kit {

void CompanionDialog::ShowModeless() {
    if (!isVisible()) {
        // A tool window stays above its owner when the owner is clicked,
        // and opens beside it, not over the form it helps with.
        if (owner_ && !windowFlags().testFlag(Qt::Tool)) setWindowFlag(Qt::Tool, true);
        if (owner_) {
            ensurePolished();
            PlaceBeside(this, owner_, keepClear_);
        }
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

}  // namespace velsend::gui::kit

#pragma once

class QDialog;
class QHBoxLayout;
class QPushButton;

namespace velsend::gui::kit {

struct DialogButtons {
    QPushButton* ok;
    QPushButton* cancel;
    QHBoxLayout* row;  // for the caller's layout
};

// "确认" (the default button) and "取消" at the right of a row, wired to the
// dialog's accept() and reject().
DialogButtons MakeOkCancel(QDialog* dialog);

}  // namespace velsend::gui::kit

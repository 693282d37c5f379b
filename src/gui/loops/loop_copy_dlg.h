#pragma once

#include <QDialog>

#include "core/store/project_files.h"

class QPushButton;

namespace velsend::gui::kit {
class MessageService;
class NumberEdit;
}  // namespace velsend::gui::kit

namespace velsend::gui::loops {

// "回路数据复制": stamps one loop's devices and names onto a run of loops,
// the target moving on after every copy.
class LoopCopyDlg : public QDialog {
    Q_OBJECT
  public:
    LoopCopyDlg(const velsend::store::ProjectDir& dir, kit::MessageService& messages,
                QWidget* parent = nullptr);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void OnCopy();

    velsend::store::ProjectDir dir_;
    kit::MessageService& messages_;
    kit::NumberEdit* source_;
    kit::NumberEdit* target_;
    QPushButton* copy_;
};

}  // namespace velsend::gui::loops

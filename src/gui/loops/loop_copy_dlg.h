#pragma once

#include <QDialog>

#include "core/store/project_files.h"

class QPushButton;

namespace velsend::ui {
class MessageService;
class NumberEdit;
}  // namespace velsend::ui

namespace velsend::loops {

// "回路数据复制": stamps one loop's devices and names onto a run of loops,
// the target moving on after every copy.
class LoopCopyDlg : public QDialog {
    Q_OBJECT
  public:
    LoopCopyDlg(const store::ProjectDir& dir, ui::MessageService& messages,
                 QWidget* parent = nullptr);


  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void OnCopy();

    store::ProjectDir dir_;
    ui::MessageService& messages_;
    ui::NumberEdit* source_;
    ui::NumberEdit* target_;
    QPushButton* copy_;
};

}  // namespace velsend::loops

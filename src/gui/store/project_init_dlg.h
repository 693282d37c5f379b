#pragma once

#include <QDialog>

#include "core/store/project_files.h"

class QPushButton;

namespace velsend::gui::kit {
class MessageService;
}

namespace velsend::gui::store {

using namespace velsend::store;

// "初始化": deletes the project files after the user confirms.
class ProjectInitDlg : public QDialog {
    Q_OBJECT
  public:
    ProjectInitDlg(const ProjectDir& dir, kit::MessageService& messages, QWidget* parent = nullptr);

  private:
    void OnConfirm();

    ProjectDir dir_;
    kit::MessageService& messages_;
    QPushButton* confirm_;
    QPushButton* cancel_;
};

}  // namespace velsend::gui::store

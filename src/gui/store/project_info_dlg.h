#pragma once

#include <QDialog>
#include <array>

#include "core/store/project_info.h"

namespace velsend::gui::kit {
class GbkLineEdit;
class MessageService;
}  // namespace velsend::gui::kit

namespace velsend::gui::store {

using namespace velsend::store;

// "工程名称": the project name alone; saving rewrites the name field only.
class ProjectNameDlg : public QDialog {
    Q_OBJECT
  public:
    ProjectNameDlg(const ProjectDir& dir, kit::MessageService& messages, QWidget* parent = nullptr);
    kit::GbkLineEdit* NameEdit() const { return name_; }
    void accept() override;

  private:
    ProjectDir dir_;
    kit::MessageService& messages_;
    kit::GbkLineEdit* name_;
};

// "工程详细信息": all six fields of info.dat.
class ProjectInfoDlg : public QDialog {
    Q_OBJECT
  public:
    ProjectInfoDlg(const ProjectDir& dir, kit::MessageService& messages, QWidget* parent = nullptr);
    kit::GbkLineEdit* FieldEdit(int field) const { return edits_[static_cast<std::size_t>(field)]; }
    void accept() override;

  private:
    ProjectDir dir_;
    kit::MessageService& messages_;
    std::array<kit::GbkLineEdit*, kInfoFieldCount> edits_{};
    ProjectInfo shown_;  // as read: a save writes only what the user changed
};

}  // namespace velsend::gui::store

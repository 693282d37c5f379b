#pragma once

#include <QDialog>
#include <array>

#include "core/store/project_info.h"

class QPushButton;

namespace velsend::ui {
class GbkLineEdit;
class MessageService;
}  // namespace velsend::ui

namespace velsend::store {

// "工程名称": the project name alone; saving rewrites the name field only.
class ProjectNameDlg : public QDialog {
    Q_OBJECT
  public:
    ProjectNameDlg(const ProjectDir& dir, ui::MessageService& messages, QWidget* parent = nullptr);
    ui::GbkLineEdit* NameEdit() const { return name_; }
    QPushButton* OkButton() const { return ok_; }
    void accept() override;

  private:
    ProjectDir dir_;
    ui::MessageService& messages_;
    ui::GbkLineEdit* name_;
    QPushButton* ok_ = nullptr;
};

// "工程详细信息": all six fields of info.dat.
class ProjectInfoDlg : public QDialog {
    Q_OBJECT
  public:
    ProjectInfoDlg(const ProjectDir& dir, ui::MessageService& messages, QWidget* parent = nullptr);
    ui::GbkLineEdit* FieldEdit(int field) const { return edits_[static_cast<std::size_t>(field)]; }
    QPushButton* OkButton() const { return ok_; }
    void accept() override;

  private:
    ProjectDir dir_;
    ui::MessageService& messages_;
    std::array<ui::GbkLineEdit*, kInfoFieldCount> edits_{};
    ProjectInfo shown_;  // as read: a save writes only what the user changed
    QPushButton* ok_ = nullptr;
};

}  // namespace velsend::store

#pragma once

#include <QDialog>
#include <filesystem>

#include "gui/kit/run_state.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace velsend::gui::kit {
class Form;
class MessageService;
class NumberEdit;
}  // namespace velsend::gui::kit

namespace velsend::gui::exchange {

// "导入VELNET数据": the loops to convert and the folder they come from. The
// range is stored in the run state on every change, so it is there next time
// (also after Cancel).
class VelnetImportDlg : public QDialog {
    Q_OBJECT
  public:
    VelnetImportDlg(kit::RunState& state, kit::MessageService& messages, QWidget* parent = nullptr);
    ~VelnetImportDlg() override;

    // The folder shown, which the conversion uses after OK.
    std::filesystem::path Folder() const { return folder_; }

  protected:
    void accept() override;

  private:
    void ShowFolder();
    void ChooseFolder();

    kit::RunState& state_;
    kit::MessageService& messages_;
    std::filesystem::path folder_;
    QLabel* question_;
    QLineEdit* folderEdit_;
    kit::NumberEdit* first_;
    kit::NumberEdit* last_;
    std::unique_ptr<kit::Form> form_;
};

// The captionless "please wait" box: one second after it opens it converts
// the range, closes and shows the result.
class VelnetImportRunDlg : public QDialog {
    Q_OBJECT
  public:
    VelnetImportRunDlg(const velsend::store::ProjectDir& dir, std::filesystem::path folder,
                       std::uint32_t first, std::uint32_t last, kit::MessageService& messages,
                       QWidget* parent = nullptr);

    static constexpr int kStartDelayMs = 1000;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void Convert();

    velsend::store::ProjectDir dir_;
    std::filesystem::path folder_;
    std::uint32_t first_;
    std::uint32_t last_;
    kit::MessageService& messages_;
    bool started_ = false;
};

}  // namespace velsend::gui::exchange

#pragma once

#include <QDialog>
#include <optional>

#include "core/history/history.h"
#include "core/store/project_files.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QWidget;

namespace velsend::gui::kit {
class MessageService;
}

namespace velsend::gui::history {

using velsend::history::History;
using velsend::history::Step;

// Undoes (or with `redo` makes again) the newest step of `dir`'s history,
// asking first when a file was changed since. The words of the step done, or
// nothing (refused, nothing to do, or the user said no; the message shown).
std::optional<Step> UndoWithQuestion(const velsend::store::ProjectDir& dir, bool redo,
                                     kit::MessageService& messages, QWidget* parent);

// "修改历史…": the project's steps (time, program, what), the decoded
// difference of the selected one, the history's size, and "恢复到此步之前",
// which undoes the steps down to and with the selected one.
class HistoryDlg : public QDialog {
    Q_OBJECT
  public:
    HistoryDlg(const velsend::store::ProjectDir& dir, int controllerModel,
               kit::MessageService& messages, QWidget* parent = nullptr);

    QTableWidget* List() const { return list_; }

  private:
    void Fill();
    void ShowSelected();
    void OnRestore();

    velsend::store::ProjectDir dir_;
    int model_;
    kit::MessageService& messages_;
    History history_;
    QTableWidget* list_;
    QPlainTextEdit* difference_;
    QLabel* size_;
    QPushButton* restore_;
};

}  // namespace velsend::gui::history

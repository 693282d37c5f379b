#include "app/edit_menu.h"

#include <QAction>
#include <QMenu>
#include <QStatusBar>

#include "app/main_frame.h"
#include "core/history/history.h"
#include "gui/history/history_dlg.h"
#include "gui/kit/message_service.h"
#include "gui/kit/qt_text.h"
#include "gui/kit/run_state.h"

namespace velsend::app {

EditMenu::EditMenu(MainFrame& frame, gui::kit::RunState& state, gui::kit::MessageService& messages)
    : QObject(&frame),
      frame_(frame),
      state_(state),
      messages_(messages),
      menu_(new QMenu(QStringLiteral("编辑"), &frame)) {
    menu_->setObjectName(QStringLiteral("editMenu"));
    undo_ = menu_->addAction(QStringLiteral("撤销"));
    undo_->setObjectName(QStringLiteral("undo"));
    undo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    undo_->setStatusTip(QStringLiteral("把工程文件恢复到最近一次修改之前"));
    connect(undo_, &QAction::triggered, this, [this] { OnUndo(false); });
    redo_ = menu_->addAction(QStringLiteral("重做"));
    redo_->setObjectName(QStringLiteral("redo"));
    redo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y));
    redo_->setStatusTip(QStringLiteral("重新做一次刚撤销的修改"));
    connect(redo_, &QAction::triggered, this, [this] { OnUndo(true); });
    menu_->addSeparator();
    QAction* list = menu_->addAction(QStringLiteral("修改历史…"));
    list->setObjectName(QStringLiteral("historyList"));
    list->setStatusTip(QStringLiteral("查看工程的每一次修改，恢复到其中一步之前"));
    connect(list, &QAction::triggered, this, [this] {
        gui::history::HistoryDlg dialog(state_.Project, state_.ControllerModel, messages_, &frame_);
        dialog.exec();
        Refresh();
    });
    connect(menu_, &QMenu::aboutToShow, this, [this] { Refresh(); });
    Refresh();
}

void EditMenu::Refresh() {
    const auto loaded = history::Load(state_.Project.Root());
    const history::Step* toUndo = loaded ? loaded->ToUndo() : nullptr;
    const history::Step* toRedo = loaded ? loaded->ToRedo() : nullptr;
    // The shortcuts stay live (the menu's texts may be older than the files):
    // the command itself says when there is nothing to do.
    undo_->setText(toUndo ? QStringLiteral("撤销 ") + gui::kit::Q(toUndo->what)
                          : QStringLiteral("撤销"));
    redo_->setText(toRedo ? QStringLiteral("重做 ") + gui::kit::Q(toRedo->what)
                          : QStringLiteral("重做"));
}

void EditMenu::OnUndo(bool redo) {
    if (auto done = gui::history::UndoWithQuestion(state_.Project, redo, messages_, &frame_))
        frame_.statusBar()->showMessage(
            (redo ? QStringLiteral("已重做：") : QStringLiteral("已撤销：")) +
            gui::kit::Q(done->what));
    Refresh();
}

}  // namespace velsend::app

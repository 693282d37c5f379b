// A seeded random walk through the windows: menu commands of every model,
// typing, clicking, Enter, Esc, F1/F5/F7, closing, switching folders and
// starting and stopping transfers against the burner simulator. It asserts
// that the program neither crashes nor hangs nor leaves a window open; run
// under the sanitizers it also finds use-after-free and leaks on the way.
// VELSEND_WALK_STEPS sets the length, VELSEND_WALK_SEED repeats a walk.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "app/main_frame.h"
#include "core/demo/demo_project.h"
#include "gui/kit/message_service.h"
#include "gui/kit/run_state.h"
#include "sim_process.h"
#include "temp_dir.h"
#include "typing.h"

namespace velsend::app {
namespace {

// Answers every question and file dialog at random: yes or no, a file in
// the walk's folders, or cancel.
class RandomMessages : public gui::kit::MessageService {
  public:
    RandomMessages(std::mt19937& random, QStringList files) : random_(random), files_(files) {}
    void Message(QWidget*, const QString&, const QString&, gui::kit::MessageIcon) override {}
    bool Question(QWidget*, const QString&, const QString&, gui::kit::MessageIcon) override {
        return random_() % 2 == 0;
    }
    QString OpenFileName(QWidget*, const QString&, const QString&, const QString&) override {
        return Pick();
    }
    QString SaveFileName(QWidget*, const QString&, const QString&, const QString&) override {
        return Pick();
    }
    QString ExistingFolder(QWidget*, const QString&, const QString&) override { return Pick(); }

  private:
    QString Pick() {
        const auto n = static_cast<std::size_t>(files_.size());
        const std::size_t i = random_() % (n + 1);
        return i == n ? QString() : files_[static_cast<qsizetype>(i)];
    }
    std::mt19937& random_;
    QStringList files_;
};

template <class T>
QList<T*> Usable(QWidget* window) {
    QList<T*> found;
    for (T* w : window->findChildren<T*>()) {
        if (w->isVisible() && w->isEnabled() && w->window() == window) found << w;
    }
    return found;
}

class Walk {
  public:
    Walk(MainFrame& frame, std::mt19937& random, QStringList folders)
        : frame_(frame), random_(random), folders_(std::move(folders)) {}

    // One step per tick; the next tick is queued before acting, since an
    // action may open a dialog whose exec() returns only much later.
    void Run(int steps) {
        left_ = steps;
        QTimer::singleShot(0, [this] { Tick(); });
    }
    bool Done() const { return done_; }
    // What the walk did, for the closing line.
    int commands = 0;
    int actions = 0;
    int switches = 0;

  private:
    void Tick() {
        if (left_ <= 0) {
            Close();
            return;
        }
        --left_;
        QTimer::singleShot(random_() % 4 == 0 ? 5 : 0, [this] { Tick(); });
        if (QWidget* modal = QApplication::activeModalWidget()) {
            Act(modal);
        } else if (QWidget* popup = QApplication::activePopupWidget()) {
            popup->close();
        } else {
            Top();
        }
    }

    // Nothing is open but the main window: a menu command, a folder or a
    // modeless companion window.
    void Top() {
        const int choice = static_cast<int>(random_() % 20);
        if (choice == 0) {
            ++switches;
            (void)frame_.OpenFolder(folders_[static_cast<qsizetype>(random_() % 2)]);
            return;
        }
        if (QWidget* open = OtherWindow(); open && choice < 8) {
            Act(open);
            return;
        }
        QList<QAction*> offered;
        for (QAction* top : frame_.menuBar()->actions()) {
            const QList<QAction*> items = top->menu() ? top->menu()->actions() : QList{top};
            for (QAction* item : items) {
                if (item->isSeparator() || item->menu() || !item->isEnabled() ||
                    item->text() == QStringLiteral("退出"))
                    continue;
                offered << item;
            }
        }
        ++commands;
        offered[static_cast<qsizetype>(random_() % offered.size())]->trigger();
    }

    void Act(QWidget* window) {
        ++actions;
        // A print dialog confirmed would print on whatever printer is set up.
        if (window->inherits("QAbstractPrintDialog")) {
            QTest::keyClick(window, Qt::Key_Escape);
            return;
        }
        switch (random_() % 12) {
            case 0:
                QTest::keyClick(window, Qt::Key_Escape);
                return;
            case 1:
                QTest::keyClick(Focus(window), Qt::Key_Return);
                return;
            case 2: {
                static const Qt::Key keys[] = {Qt::Key_F1,   Qt::Key_F5, Qt::Key_F7,   Qt::Key_Tab,
                                               Qt::Key_Down, Qt::Key_Up, Qt::Key_Space};
                QTest::keyClick(Focus(window), keys[random_() % std::size(keys)]);
                return;
            }
            case 3:
            case 4:
            case 5:
                if (auto buttons = Usable<QAbstractButton>(window); !buttons.isEmpty())
                    buttons[static_cast<qsizetype>(random_() % buttons.size())]->click();
                return;
            case 6:
            case 7:
                if (auto edits = Usable<QLineEdit>(window); !edits.isEmpty()) {
                    static const QString texts[] = {QStringLiteral("1"),     QStringLiteral("255"),
                                                    QStringLiteral("-7"),    QStringLiteral("大厅"),
                                                    QStringLiteral("T1=M2"), QString()};
                    QLineEdit* edit = edits[static_cast<qsizetype>(random_() % edits.size())];
                    edit->selectAll();
                    test::TypeText(edit, texts[random_() % std::size(texts)]);
                }
                return;
            case 8:
                if (auto boxes = Usable<QComboBox>(window); !boxes.isEmpty()) {
                    QComboBox* box = boxes[static_cast<qsizetype>(random_() % boxes.size())];
                    if (box->count() > 0)
                        box->setCurrentIndex(static_cast<int>(random_() % box->count()));
                }
                return;
            case 9:
                if (auto views = Usable<QAbstractItemView>(window); !views.isEmpty()) {
                    QAbstractItemView* view =
                        views[static_cast<qsizetype>(random_() % views.size())];
                    if (QAbstractItemModel* model = view->model();
                        model && model->rowCount() > 0 && model->columnCount() > 0) {
                        view->setCurrentIndex(
                            model->index(static_cast<int>(random_() % model->rowCount()),
                                         static_cast<int>(random_() % model->columnCount())));
                    }
                    QTest::keyClick(view, random_() % 2 ? Qt::Key_Return : Qt::Key_Down);
                }
                return;
            case 10:
                if (auto spins = Usable<QAbstractSpinBox>(window); !spins.isEmpty())
                    spins[static_cast<qsizetype>(random_() % spins.size())]->stepBy(
                        static_cast<int>(random_() % 5) - 2);
                return;
            default:
                window->close();
                return;
        }
    }

    // A window other than the main one still shown (no tooltips, no menus).
    QWidget* OtherWindow() const {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w != &frame_ && w->isVisible() && qobject_cast<QDialog*>(w)) return w;
        }
        return nullptr;
    }

    static QWidget* Focus(QWidget* window) {
        QWidget* focus = window->focusWidget();
        return focus ? focus : window;
    }

    // The walk is over: Esc on whatever is still open until the main window
    // is alone (a running transfer takes a moment to stop).
    void Close() {
        QWidget* open = QApplication::activeModalWidget();
        if (!open) open = OtherWindow();
        if (!open) {
            done_ = true;
            return;
        }
        QTimer::singleShot(10, [this] { Close(); });
        if (auto* dialog = qobject_cast<QDialog*>(open)) {
            dialog->reject();
        } else {
            open->close();
        }
    }

    MainFrame& frame_;
    std::mt19937& random_;
    QStringList folders_;
    int left_ = 0;
    bool done_ = false;
};

int FromEnvironment(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::atoi(value) : fallback;
}

TEST(WindowWalk, RandomStepsThroughEveryModelLeaveNoWindowBehind) {
    std::random_device device;
    const auto seed = static_cast<unsigned>(
        FromEnvironment("VELSEND_WALK_SEED", static_cast<int>(device() >> 1)));
    const int steps = FromEnvironment("VELSEND_WALK_STEPS", 300);
    // Printed first: a crash under the sanitizers ends the process before
    // any failure message could name it.
    std::printf("window walk: seed %u, %d steps (VELSEND_WALK_SEED repeats it)\n", seed, steps);
    std::fflush(stdout);
    SCOPED_TRACE("VELSEND_WALK_SEED=" + std::to_string(seed));

    test::TempDir demo;
    test::TempDir empty;
    ASSERT_TRUE(demo::WriteDemoProject(store::ProjectDir(demo.path())));
    test::SimProcess sim({}, empty.path() / "sim.log");
    ASSERT_FALSE(sim.path().empty());

    std::mt19937 random(seed);
    const QString demoFolder = QString::fromStdString(demo.path().string());
    const QString emptyFolder = QString::fromStdString(empty.path().string());
    RandomMessages messages(random, {demoFolder + QStringLiteral("/walk.xlsx"),
                                     emptyFolder + QStringLiteral("/walk.pdf"), demoFolder});
    gui::kit::RunState state;
    state.Ports = burner::PortList::FromSpec(sim.path());
    state.Project = store::ProjectDir(demo.path());
    {
        MainFrame frame(state, messages);
        frame.show();
        Walk walk(frame, random, {demoFolder, emptyFolder});
        walk.Run(steps);
        ASSERT_TRUE(QTest::qWaitFor([&] { return walk.Done(); }, 600000));
        std::printf("window walk: %d menu commands, %d actions in windows, %d folder switches\n",
                    walk.commands, walk.actions, walk.switches);
        for (QWidget* w : QApplication::topLevelWidgets()) {
            EXPECT_FALSE(w != &frame && w->isVisible() && qobject_cast<QDialog*>(w))
                << w->metaObject()->className();
        }
    }
    state.BurnerPort.Close();
}

}  // namespace
}  // namespace velsend::app

#pragma once

#include <QDialog>
#include <array>

#include "core/loops/loop_stats.h"
#include "gui/kit/run_state.h"

class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace velsend::gui::kit {
class MessageService;
class NumberEdit;
}  // namespace velsend::gui::kit

namespace velsend::gui::loops {

using namespace velsend::loops;

// "回路设备查询结果" of the newer families: the class counts and the 85 type
// counters of one loop, stepped loop by loop; F1 opens the loop's grid.
class LoopStatsDlg : public QDialog {
    Q_OBJECT
  public:
    LoopStatsDlg(kit::RunState& state, kit::MessageService& messages, int loop = 0,
                 QWidget* parent = nullptr);

    int Loop() const { return loop_; }
    const LoopCounts& Counts() const { return counts_; }

    // What the linked grid view asks for.
    void StepLoop(int step);
    void SetLoop(int loop);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildTopRow(QVBoxLayout* layout);
    void BuildClassGroups(QVBoxLayout* layout);
    void BuildButtonRow(QVBoxLayout* layout);
    void OnLoopEdited();
    void Count();
    void OpenGrid();

    kit::RunState& state_;
    kit::MessageService& messages_;
    int loop_;
    LoopCounts counts_;
    kit::NumberEdit* loopEdit_;
    QLineEdit* total_;
    std::array<QLineEdit*, 4> classes_{};
    std::array<QLineEdit*, kTypeCounterCount> counters_{};
    QPushButton* grid_;
    QPushButton* previous_;
    QPushButton* next_;
};

// "回路查询" of the first family: asks for the loop (kept in QueryLoop).
class LoopQueryDlg : public QDialog {
    Q_OBJECT
  public:
    LoopQueryDlg(kit::RunState& state, kit::MessageService& messages, QWidget* parent = nullptr);
    void accept() override;

  private:
    void OnEdited();

    kit::RunState& state_;
    kit::MessageService& messages_;
    kit::NumberEdit* edit_;
};

// The first family's "回路设备查询结果": the class counts of QueryLoop.
// "确认" moves QueryLoop on to the next loop.
class LoopQueryResultDlg : public QDialog {
    Q_OBJECT
  public:
    LoopQueryResultDlg(kit::RunState& state, QWidget* parent = nullptr);
    QLineEdit* Field(int row) const { return fields_[static_cast<std::size_t>(row)]; }
    void accept() override;

  private:
    kit::RunState& state_;
    std::array<QLineEdit*, 6> fields_{};  // loop, total, then the four classes
};

// The first family's loop query: question and summary in turn until one of
// them is cancelled.
void RunLoopQuery(kit::RunState& state, kit::MessageService& messages, QWidget* parent);

}  // namespace velsend::gui::loops

#pragma once

#include <QDialog>
#include <array>

#include "gui/kit/run_state.h"
#include "core/loops/loop_stats.h"

class QLineEdit;
class QPushButton;

namespace velsend::ui {
class MessageService;
class NumberEdit;
}  // namespace velsend::ui

namespace velsend::loops {

// "回路设备查询结果" of the newer families: the class counts and the 85 type
// counters of one loop, stepped loop by loop; F1 opens the loop's grid.
class LoopStatsDlg : public QDialog {
    Q_OBJECT
  public:
    LoopStatsDlg(base::RunState& state, ui::MessageService& messages, int loop = 0,
                  QWidget* parent = nullptr);

    int Loop() const { return loop_; }
    const LoopCounts& Counts() const { return counts_; }
    ui::NumberEdit* LoopEdit() const { return loopEdit_; }

    // What the linked grid view asks for.
    void StepLoop(int step);
    void SetLoop(int loop);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void OnLoopEdited();
    void Count();
    void OpenGrid();

    base::RunState& state_;
    ui::MessageService& messages_;
    int loop_;
    LoopCounts counts_;
    ui::NumberEdit* loopEdit_;
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
    LoopQueryDlg(base::RunState& state, ui::MessageService& messages, QWidget* parent = nullptr);
    ui::NumberEdit* LoopEdit() const { return edit_; }
    void accept() override;

  private:
    void OnEdited();

    base::RunState& state_;
    ui::MessageService& messages_;
    ui::NumberEdit* edit_;
};

// The first family's "回路设备查询结果": the class counts of QueryLoop.
// "确认" moves QueryLoop on to the next loop.
class LoopQueryResultDlg : public QDialog {
    Q_OBJECT
  public:
    LoopQueryResultDlg(base::RunState& state, QWidget* parent = nullptr);
    QLineEdit* Field(int row) const { return fields_[static_cast<std::size_t>(row)]; }
    void accept() override;

  private:
    base::RunState& state_;
    std::array<QLineEdit*, 6> fields_{};  // loop, total, then the four classes
};

// The first family's loop query: question and summary in turn until one of
// them is cancelled.
void RunLoopQuery(base::RunState& state, ui::MessageService& messages, QWidget* parent);

}  // namespace velsend::loops

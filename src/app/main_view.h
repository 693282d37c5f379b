#pragma once

#include <QWidget>

class QProgressBar;

namespace velsend::app {

// The main window's client area: it paints the notes for the user and holds
// the progress bar that the spreadsheet commands drive.
class MainView : public QWidget {
    Q_OBJECT
  public:
    explicit MainView(QWidget* parent = nullptr);

    QProgressBar* ProgressBar() const { return progress_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QProgressBar* progress_;
};

}  // namespace velsend::app

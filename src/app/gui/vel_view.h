#pragma once

#include <QWidget>

class QProgressBar;

namespace velsend::app::gui {

// The main window's client area: the notes for the user and the progress bar
// that the spreadsheet commands drive. It also receives those commands.
class CVelView : public QWidget {
    Q_OBJECT
  public:
    explicit CVelView(QWidget* parent = nullptr);

    QProgressBar* ProgressBar() const { return progress_; }

    // The commands routed to the view.
    static bool HandlesCommand(int id);
    void OnCommand(int id);

    void OnWriteStandardTemplate();
    void OnWriteExampleTemplate();
    void OnExcelImportKa();
    void OnExcelImportKbx();
    void OnExcelExport();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QProgressBar* progress_;
};

}  // namespace velsend::app::gui

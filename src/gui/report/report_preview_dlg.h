#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QDialog>

#include "core/report/project_report.h"

class QLabel;
class QPdfDocument;
class QPdfView;
class QPushButton;

namespace velsend::ui {
class MessageService;
}

namespace velsend::report {

// "打印报告": the report's sheets, built beforehand off the window's thread,
// shown page by page; "打印…" prints them, again off the window's thread.
// Sized to fit the screen it opens on.
class ReportPreviewDlg : public QDialog {
    Q_OBJECT
  public:
    ReportPreviewDlg(Report report, QByteArray pdf, ui::MessageService& messages,
                     QWidget* parent = nullptr);
    ~ReportPreviewDlg() override;

    int PageCount() const;
    QPdfView* View() const { return view_; }
    QPushButton* PrintButton() const { return print_; }

  private:
    void OnPrint();

    Report report_;
    QByteArray pdf_;
    QBuffer buffer_;
    ui::MessageService& messages_;
    QPdfDocument* document_;
    QPdfView* view_;
    QLabel* pages_;
    QPushButton* print_;
};

}  // namespace velsend::report

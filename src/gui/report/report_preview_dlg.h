#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QDialog>

#include "core/report/project_report.h"

class QLabel;
class QPdfDocument;
class QPdfView;
class QPushButton;

namespace velsend::gui::kit {
class MessageService;
}

namespace velsend::gui::report {

using namespace velsend::report;

// "打印报告": the report's sheets, built beforehand off the window's thread,
// shown page by page; "打印…" prints them, again off the window's thread.
// Sized to fit the screen it opens on.
class ReportPreviewDlg : public QDialog {
    Q_OBJECT
  public:
    ReportPreviewDlg(Report report, QByteArray pdf, kit::MessageService& messages,
                     QWidget* parent = nullptr);
    ~ReportPreviewDlg() override;

    int PageCount() const;
    QPdfView* View() const { return view_; }

  private:
    void OnPrint();

    Report report_;
    QByteArray pdf_;
    QBuffer buffer_;
    kit::MessageService& messages_;
    QPdfDocument* document_;
    QPdfView* view_;
    QLabel* pages_;
    QPushButton* print_;
};

}  // namespace velsend::gui::report

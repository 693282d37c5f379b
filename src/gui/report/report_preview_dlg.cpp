#include "gui/report/report_preview_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfView>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/kit/message_service.h"
#include "gui/kit/qt_text.h"
#include "gui/kit/screen_fit.h"
#include "gui/kit/work_progress.h"
#include "pdf/report_painter.h"

namespace velsend::gui::report {

using namespace velsend::report;

ReportPreviewDlg::ReportPreviewDlg(Report report, QByteArray pdf, kit::MessageService& messages,
                                   QWidget* parent)
    : QDialog(parent),
      report_(std::move(report)),
      pdf_(std::move(pdf)),
      messages_(messages),
      document_(new QPdfDocument(this)),
      view_(new QPdfView(this)),
      pages_(new QLabel(this)),
      print_(new QPushButton(QStringLiteral("打印…"), this)) {
    setObjectName(QStringLiteral("reportPreview"));
    setWindowTitle(QStringLiteral("打印报告"));
    buffer_.setData(pdf_);
    buffer_.open(QIODevice::ReadOnly);
    document_->load(&buffer_);
    view_->setDocument(document_);
    view_->setPageMode(QPdfView::PageMode::MultiPage);
    view_->setZoomMode(QPdfView::ZoomMode::FitToWidth);
    pages_->setText(QStringLiteral("共 %1 页").arg(document_->pageCount()));

    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    connect(print_, &QPushButton::clicked, this, &ReportPreviewDlg::OnPrint);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(pages_);
    buttons->addStretch(1);
    buttons->addWidget(print_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addLayout(buttons);
    // A sheet's width, and as much of its height as the screen allows.
    kit::FitToScreen(this, QSize(900, 1000), parent);
}

ReportPreviewDlg::~ReportPreviewDlg() {
    view_->setDocument(nullptr);
    document_->close();
}

int ReportPreviewDlg::PageCount() const {
    return document_->pageCount();
}

void ReportPreviewDlg::OnPrint() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(12, 15, 12, 12), QPageLayout::Millimeter);
    printer.setDocName(kit::Q(report_.projectName) + QStringLiteral(" 调试报告"));
    QPrintDialog choose(&printer, this);
    if (choose.exec() != QDialog::Accepted) return;
    bool painted = false;
    const bool finished =
        kit::RunWithProgress(this, QStringLiteral("打印报告"), QStringLiteral("正在打印报告…"),
                             [&](kit::WorkProgress& progress) {
                                 painted = pdf::PaintReport(
                                     printer, report_,
                                     [&](int done, int total) {
                                         progress.total = total;
                                         progress.done = done;
                                     },
                                     progress.stop);
                             });
    if (finished && !painted)
        messages_.Message(this, QStringLiteral("无法打印报告。"), kit::MessageService::AppTitle(),
                          kit::MessageIcon::Critical);
}

}  // namespace velsend::gui::report

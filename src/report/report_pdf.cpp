#include "report/report_pdf.h"

#include <QAbstractTextDocumentLayout>
#include <QByteArray>
#include <QFont>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QBuffer>
#include <QTextDocument>
#include <memory>

#include "base/file_write.h"
#include "report/report_painter.h"

namespace velsend::report {
namespace {

QString Q(const std::string& utf8) { return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())); }

// The CLI has no Qt application; the text layout needs one (fonts come from
// the platform). Offscreen: no display is needed, on a server or in CI.
void EnsureGuiApplication() {
    if (QCoreApplication::instance()) return;
    static int argc = 3;
    static char arg0[] = "velsend-cli";
    static char arg1[] = "-platform";
    static char arg2[] = "offscreen";
    static char* argv[] = {arg0, arg1, arg2, nullptr};
    static std::unique_ptr<QGuiApplication> app = std::make_unique<QGuiApplication>(argc, argv);
}

QString FontFamily() { return QStringLiteral("WenQuanYi Micro Hei"); }

}  // namespace

bool PaintReport(QPagedPaintDevice& device, const Report& report, const PageProgress& progress) {
    QPainter painter;
    if (!painter.begin(&device)) return false;
    const std::vector<std::string> pages = HtmlPages(report);
    const QString css = Q(ReportStyleSheet());
    const double width = device.width();
    const double height = device.height();
    QFont font(FontFamily());
    font.setPointSizeF(9.5);
    QFont footerFont(FontFamily());
    footerFont.setPointSizeF(7.5);
    const double footerHeight = QFontMetricsF(footerFont, &device).height() * 2;
    const double bodyHeight = height - footerHeight;
    const QString footerText = Q(report.projectName) + QStringLiteral(" · 调试报告 · 第 %1 页");
    int sheet = 0;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        QTextDocument doc;
        doc.documentLayout()->setPaintDevice(&device);
        doc.setDefaultFont(font);
        doc.setDefaultStyleSheet(css);
        doc.setDocumentMargin(0);
        doc.setPageSize(QSizeF(width, bodyHeight));
        doc.setHtml(QStringLiteral("<html><body>") + Q(pages[i]) +
                    QStringLiteral("</body></html>"));
        const int count = doc.pageCount();
        for (int p = 0; p < count; ++p) {
            if (sheet > 0 && !device.newPage()) return false;
            ++sheet;
            painter.save();
            painter.translate(0, -p * bodyHeight);
            doc.drawContents(&painter, QRectF(0, p * bodyHeight, width, bodyHeight));
            painter.restore();
            painter.setFont(footerFont);
            painter.drawText(QRectF(0, bodyHeight, width, footerHeight),
                             Qt::AlignRight | Qt::AlignBottom, footerText.arg(sheet));
        }
        if (progress) progress(static_cast<int>(i) + 1, static_cast<int>(pages.size()));
    }
    return painter.end();
}

base::Result<> WritePdfReport(const std::filesystem::path& target, const Report& report,
                              const PageProgress& progress) {
    EnsureGuiApplication();
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(300);
        writer.setTitle(Q(report.projectName) + QStringLiteral(" 调试报告"));
        writer.setCreator(QStringLiteral("VelSend"));
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(12, 15, 12, 12), QPageLayout::Millimeter));
        if (!PaintReport(writer, report, progress))
            return base::Error{"无法生成PDF报告。", "the PDF writer refused to paint"};
    }
    return base::WriteWholeFile(
        target, std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                          static_cast<std::size_t>(bytes.size())));
}

}  // namespace velsend::report

#include "pdf/report_pdf.h"

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QLineF>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPen>
#include <QRawFont>
#include <QTextLayout>
#include <algorithm>
#include <memory>
#include <unordered_map>

#include "base/file_write.h"
#include "pdf/report_painter.h"

namespace velsend::pdf {

using namespace velsend::report;

namespace {

QString Q(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

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

QString FontFamily() {
    return QStringLiteral("WenQuanYi Micro Hei");
}

}  // namespace

namespace {

// Paints blocks down the sheets. Tables are drawn cell by cell with the
// painter: a rich-text layout of 65 536 table rows takes minutes, this takes
// seconds, and the columns stay where the reader expects them on every sheet.
class SheetWriter {
  public:
    SheetWriter(QPagedPaintDevice& device, QPainter& painter, const Report& report)
        : device_(device), painter_(painter), width_(device.width()) {
        body_ = MakeFont(8.5);
        note_ = MakeFont(8);
        small_ = MakeFont(7);
        cell_ = MakeFont(7.5);
        const double footer = QFontMetricsF(small_, &device).height() * 2;
        height_ = device.height() - footer;
        footerRect_ = QRectF(0, height_, width_, footer);
        footerText_ = Q(report.projectName) + QStringLiteral(" · 调试报告 · 第 %1 页");
        runningText_ = Q(report.projectName) + QStringLiteral(" · 调试报告");
    }

    bool StartPage(const Page& page) {
        if (sheet_ > 0) {
            Footer();
            if (!device_.newPage()) return false;
        }
        ++sheet_;
        y_ = 0;
        running_ = page.running;
        if (running_) Running();
        return true;
    }
    bool Finish() {
        Footer();
        return true;
    }

    bool Draw(const Block& b) {
        using K = Block::Kind;
        switch (b.kind) {
            case K::Title:
                return Line(b.text, MakeFont(16, true), Qt::black, 0.6);
            case K::Heading:
                return Line(b.text, MakeFont(12, true), Qt::black, 0.4);
            case K::Subheading:
                y_ += QFontMetricsF(body_, &device_).height() * 0.6;  // set off from what precedes
                return Line(b.text, MakeFont(10, true), Qt::black, 0.5);
            case K::Note:
                return Line(b.text, note_, QColor(0x55, 0x55, 0x55), 0.2);
            case K::Text:
                return Line(b.text, body_, Qt::black, 0.2);
            case K::Table:
                return Table(b);
        }
        return true;
    }

  private:
    QFont MakeFont(double points, bool bold = false) const {
        QFont font(FontFamily());
        font.setPointSizeF(points);
        font.setBold(bold);
        return font;
    }

    bool Sheet() {
        Footer();
        if (!device_.newPage()) return false;
        ++sheet_;
        y_ = 0;
        if (running_) Running();
        return true;
    }

    void Running() {
        painter_.setFont(small_);
        painter_.setPen(QColor(0x55, 0x55, 0x55));
        const QFontMetricsF fm(small_, &device_);
        painter_.drawText(QRectF(0, 0, width_, fm.height()), Qt::AlignLeft | Qt::AlignVCenter,
                          runningText_);
        y_ = fm.height() * 1.3;
        painter_.drawLine(QPointF(0, y_), QPointF(width_, y_));
        y_ += fm.height() * 0.5;
    }

    void Footer() {
        painter_.setFont(small_);
        painter_.setPen(Qt::black);
        painter_.drawText(footerRect_, Qt::AlignRight | Qt::AlignBottom, footerText_.arg(sheet_));
    }

    bool Line(const std::string& text, const QFont& font, const QColor& colour, double after) {
        const QFontMetricsF fm(font, &device_);
        const double h = fm.height();
        if (y_ + h > height_ && !Sheet()) return false;
        painter_.setFont(font);
        painter_.setPen(colour);
        painter_.drawText(QRectF(0, y_, width_, h), Qt::AlignLeft | Qt::AlignVCenter, Q(text));
        y_ += h * (1 + after);
        return true;
    }

    struct Shaped {
        QList<QGlyphRun> runs;
        double height = 0;
    };

    Shaped Shape(const std::string& utf8, const QFont& font, const QFontMetricsF& fm,
                 double width) const {
        QString text = Q(utf8);
        if (fm.horizontalAdvance(text) > width) text = fm.elidedText(text, Qt::ElideRight, width);
        QTextLayout layout(text, font, &device_);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        line.setLineWidth(width * 4);
        layout.endLayout();
        return {layout.glyphRuns(), line.height()};
    }

    // Collects a row's glyphs into one run per font: the PDF gets one text
    // object per row instead of one per cell.
    void Draw(const Shaped& s, double x, double top, double rowHeight) {
        const QPointF at(x, top + (rowHeight - s.height) / 2);
        for (const QGlyphRun& run : s.runs) {
            auto it = std::find_if(pending_.begin(), pending_.end(),
                                   [&](const PendingRun& p) { return p.font == run.rawFont(); });
            if (it == pending_.end())
                it = pending_.insert(pending_.end(), PendingRun{run.rawFont(), {}, {}});
            it->glyphs += run.glyphIndexes();
            for (const QPointF& pos : run.positions()) it->positions.push_back(pos + at);
        }
    }
    void Flush() {
        for (PendingRun& p : pending_) {
            QGlyphRun run;
            run.setRawFont(p.font);
            run.setGlyphIndexes(p.glyphs);
            run.setPositions(p.positions);
            painter_.drawGlyphRun(QPointF(0, 0), run);
        }
        pending_.clear();
    }
    struct PendingRun {
        QRawFont font;
        QList<quint32> glyphs;
        QList<QPointF> positions;
    };
    std::vector<PendingRun> pending_;
    std::unordered_map<std::string, std::vector<std::unordered_map<std::string, Shaped>>>
        shapedByKind_;

    bool Table(const Block& b) {
        const QFontMetricsF fm(cell_, &device_);
        const double rowHeight = fm.height() * 1.45;
        const double pad = fm.height() * 0.3;
        int total = 0;
        for (int w : b.widths) total += w;
        std::vector<double> x{0};
        for (int w : b.widths) x.push_back(x.back() + width_ * w / std::max(total, 1));
        QFont headFont = cell_;
        headFont.setBold(true);
        const QPen grid(QColor(0x66, 0x66, 0x66), std::max(1.0, device_.logicalDpiX() / 200.0));
        // Shaping a text is the costly part; a loop's cells repeat (classes,
        // type names, small numbers, names), so each column keeps its texts
        // shaped once.
        // Tables of one kind share their columns, so the cache lives across them.
        auto& shaped = shapedByKind_[b.tableClass];
        shaped.resize(x.size());
        std::vector<QLineF> lines;
        auto row = [&](const std::vector<std::string>& cells, bool head) {
            if (head)
                painter_.fillRect(QRectF(0, y_, x.back(), rowHeight), QColor(0xE4, 0xE4, 0xE4));
            painter_.setPen(Qt::black);
            for (std::size_t c = 0; c < cells.size() && c + 1 < x.size(); ++c) {
                if (cells[c].empty()) continue;
                const double w = x[c + 1] - x[c] - 2 * pad;
                auto& cache = shaped[c];
                auto it = head ? cache.end() : cache.find(cells[c]);
                if (it == cache.end()) {
                    Shaped made = Shape(cells[c], head ? headFont : cell_, fm, w);
                    if (head) {
                        Draw(made, x[c] + pad, y_, rowHeight);
                        continue;
                    }
                    it = cache.emplace(cells[c], std::move(made)).first;
                }
                Draw(it->second, x[c] + pad, y_, rowHeight);
            }
            Flush();
            // The row's rules in one call: one path in the PDF instead of a dozen.
            lines.clear();
            lines.emplace_back(0, y_, x.back(), y_);
            for (const double cx : x) lines.emplace_back(cx, y_, cx, y_ + rowHeight);
            y_ += rowHeight;
            lines.emplace_back(0, y_, x.back(), y_);
            painter_.setPen(grid);
            painter_.drawLines(lines.data(), static_cast<int>(lines.size()));
        };
        // The header and at least one row together; the header again on
        // every sheet the table runs over.
        if (y_ + 2 * rowHeight > height_ && !Sheet()) return false;
        row(b.headers, true);
        for (const auto& cells : b.rows) {
            if (y_ + rowHeight > height_) {
                if (!Sheet()) return false;
                row(b.headers, true);
            }
            row(cells, false);
        }
        y_ += rowHeight * 0.5;
        return true;
    }

    QPagedPaintDevice& device_;
    QPainter& painter_;
    double width_;
    double height_ = 0;
    double y_ = 0;
    int sheet_ = 0;
    bool running_ = false;
    QFont body_, note_, small_, cell_;
    QRectF footerRect_;
    QString footerText_, runningText_;
};

}  // namespace

bool PaintReport(QPagedPaintDevice& device, const Report& report, const PageProgress& progress,
                 const std::atomic<bool>* stop) {
    QPainter painter;
    if (!painter.begin(&device)) return false;
    SheetWriter writer(device, painter, report);
    const std::vector<Page> pages = ReportPages(report);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (stop && stop->load()) return false;
        if (!writer.StartPage(pages[i])) return false;
        for (const Block& b : pages[i].blocks)
            if (!writer.Draw(b)) return false;
        if (progress) progress(static_cast<int>(i) + 1, static_cast<int>(pages.size()));
    }
    writer.Finish();
    return painter.end();
}

std::string PdfReportBytes(const Report& report, const PageProgress& progress,
                           const std::atomic<bool>* stop) {
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
        if (!PaintReport(writer, report, progress, stop)) return {};
    }
    return bytes.toStdString();
}

base::Result<> WritePdfReport(const std::filesystem::path& target, const Report& report,
                              const PageProgress& progress) {
    const std::string bytes = PdfReportBytes(report, progress);
    if (bytes.empty()) return base::Error{"无法生成PDF报告。", "the PDF writer refused to paint"};
    return base::WriteWholeFile(target,
                                std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                          static_cast<std::size_t>(bytes.size())));
}

}  // namespace velsend::pdf

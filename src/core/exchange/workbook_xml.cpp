// The .xlsx and .ods readers: the zip is opened by the workbook layer, the
// parts are read with libxml2's streaming reader. Only sheet names and the
// cells' values are kept, as Excel's Value2 hands them over: a formula is its
// cached result (never evaluated), a number formatted as a date is its serial
// number, booleans and errors are neither number nor text.
#include <libxml/xmlreader.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/exchange/workbook_readers.h"

namespace velsend::exchange::detail {
namespace {

constexpr std::int64_t kFar = std::int64_t{1} << 40;  // beyond every row and column

// --- the streaming reader ----------------------------------------------------

void IgnoreXmlError(void*, xmlErrorPtr) {}

class Xml {
  public:
    explicit Xml(std::string_view doc)
        : reader_(::xmlReaderForMemory(
              doc.data(), static_cast<int>(std::min<std::size_t>(doc.size(), INT32_MAX)), nullptr,
              nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING)) {
        if (reader_)
            ::xmlTextReaderSetStructuredErrorHandler(reader_.get(), IgnoreXmlError, nullptr);
        failed_ = !reader_ || doc.size() > INT32_MAX;
    }

    // The next node; false at the end or on an error (see Failed).
    bool Next() {
        if (failed_) return false;
        const int rc = ::xmlTextReaderRead(reader_.get());
        if (rc < 0) failed_ = true;
        // Workbook parts never have a document type; refusing it leaves no
        // entity to expand.
        if (rc == 1 && Type() == XML_READER_TYPE_DOCUMENT_TYPE) failed_ = true;
        return rc == 1 && !failed_;
    }
    bool Failed() const { return failed_; }

    int Type() const { return ::xmlTextReaderNodeType(reader_.get()); }
    int Depth() const { return ::xmlTextReaderDepth(reader_.get()); }
    bool Empty() const { return ::xmlTextReaderIsEmptyElement(reader_.get()) == 1; }
    bool Start(std::string_view name) const {
        return Type() == XML_READER_TYPE_ELEMENT && Name() == name;
    }
    bool End(std::string_view name) const {
        return Type() == XML_READER_TYPE_END_ELEMENT && Name() == name;
    }
    std::string_view Name() const { return View(::xmlTextReaderConstLocalName(reader_.get())); }
    std::string_view Value() const { return View(::xmlTextReaderConstValue(reader_.get())); }
    bool IsText() const {
        const int t = Type();
        return t == XML_READER_TYPE_TEXT || t == XML_READER_TYPE_CDATA ||
               t == XML_READER_TYPE_WHITESPACE || t == XML_READER_TYPE_SIGNIFICANT_WHITESPACE;
    }

    // The attribute of this local name (in `ns` when given), or nullopt.
    std::optional<std::string> Attr(std::string_view name, std::string_view ns = {}) {
        std::optional<std::string> found;
        if (::xmlTextReaderMoveToFirstAttribute(reader_.get()) != 1) return found;
        do {
            if (Name() == name &&
                (ns.empty() || View(::xmlTextReaderConstNamespaceUri(reader_.get())) == ns)) {
                found = std::string(Value());
                break;
            }
        } while (::xmlTextReaderMoveToNextAttribute(reader_.get()) == 1);
        ::xmlTextReaderMoveToElement(reader_.get());
        return found;
    }

    // All text inside the current element (which is then left behind).
    std::string Text() {
        std::string text;
        if (Empty()) return text;
        const int depth = Depth();
        while (Next() && !(Type() == XML_READER_TYPE_END_ELEMENT && Depth() == depth))
            if (IsText()) text += Value();
        return text;
    }
    // Moves past the end of the current element.
    void Skip() {
        if (Empty()) return;
        const int depth = Depth();
        while (Next() && !(Type() == XML_READER_TYPE_END_ELEMENT && Depth() == depth)) {
        }
    }

  private:
    static std::string_view View(const xmlChar* s) {
        return s ? std::string_view(reinterpret_cast<const char*>(s)) : std::string_view();
    }
    struct Free {
        void operator()(xmlTextReaderPtr r) const { ::xmlFreeTextReader(r); }
    };
    std::unique_ptr<xmlTextReader, Free> reader_;
    bool failed_ = false;
};

std::optional<double> ParseNumber(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '+')) s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return v;
}

// A count such as a repeat: at least 1, at most kFar.
std::int64_t ParseCount(const std::optional<std::string>& s) {
    if (!s) return 1;
    std::int64_t v = 0;
    const auto [end, ec] = std::from_chars(s->data(), s->data() + s->size(), v);
    if (ec == std::errc::result_out_of_range) return kFar;
    if (ec != std::errc() || v < 1) return 1;
    return std::min(v, kFar);
}

// "2024-03-01" or "2024-03-01T12:00:00" as Excel's serial number (days
// since 1899-12-30 from March 1900 on).
std::optional<double> DateSerial(std::string_view s) {
    int y = 0, m = 0, d = 0;
    if (std::sscanf(std::string(s).c_str(), "%d-%d-%d", &y, &m, &d) != 3 || m < 1 || m > 12 ||
        d < 1 || d > 31)
        return std::nullopt;
    // Days from civil, then shifted to the spreadsheet's epoch.
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    double days = era * 146097.0 + doe - 719468 + 25569;
    // Excel counts a 29 February 1900 that never was: its serials before
    // March 1900 are one lower.
    if (days >= 1 && days < 61) days -= 1;
    if (const auto t = s.find('T'); t != std::string_view::npos) {
        int hh = 0, mm = 0;
        double ss = 0;
        if (std::sscanf(std::string(s.substr(t + 1)).c_str(), "%d:%d:%lf", &hh, &mm, &ss) == 3)
            days += (hh * 3600.0 + mm * 60.0 + ss) / 86400.0;
    }
    return days;
}

// Collects a sheet's cells within the limits.
class SheetSink {
  public:
    SheetSink(Sheet& sheet, const ReadLimits& limits, Budget& budget)
        : sheet_(sheet), limits_(limits), budget_(budget) {}

    // False once the budget is spent. Rows past the limit only mark the cut.
    bool Put(std::int64_t row, std::int64_t column, const Cell& cell) {
        if (cell.kind == CellKind::Empty || row < 1 || column < 1 || column > limits_.maxColumns)
            return true;
        if (row > limits_.maxRows) {
            sheet_.rowsCut = true;
            return true;
        }
        if (!budget_.Cell(cell.text.size())) return false;
        sheet_.Put(static_cast<int>(row), static_cast<int>(column), cell);
        return true;
    }
    bool Cut() const { return sheet_.rowsCut; }
    int MaxRows() const { return limits_.maxRows; }
    int MaxColumns() const { return limits_.maxColumns; }

  private:
    Sheet& sheet_;
    const ReadLimits& limits_;
    Budget& budget_;
};

base::Error Broken(std::string_view part) {
    return NotWorkbook("cannot read " + std::string(part));
}

// --- .xlsx -------------------------------------------------------------------

// A relationship target as a part name: absolute ("/xl/x.xml") or relative
// to the folder of the part that names it.
std::string ResolvePart(std::string_view folder, std::string_view target) {
    std::string joined = !target.empty() && target.front() == '/'
                             ? std::string(target.substr(1))
                             : std::string(folder) + std::string(target);
    std::vector<std::string> parts;
    std::size_t at = 0;
    while (at <= joined.size()) {
        const std::size_t slash = std::min(joined.find('/', at), joined.size());
        const std::string piece = joined.substr(at, slash - at);
        if (piece == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!piece.empty() && piece != ".") {
            parts.push_back(piece);
        }
        at = slash + 1;
    }
    std::string out;
    for (const std::string& p : parts) out += (out.empty() ? "" : "/") + p;
    return out;
}

struct Relationship {
    std::string type;    // the last segment of the type URI ("worksheet")
    std::string target;  // a part name
};

std::map<std::string, Relationship> ReadRelationships(std::string_view doc,
                                                      std::string_view folder) {
    std::map<std::string, Relationship> out;
    Xml xml(doc);
    while (xml.Next()) {
        if (!xml.Start("Relationship") || xml.Attr("TargetMode") == "External") continue;
        const auto id = xml.Attr("Id");
        const auto type = xml.Attr("Type");
        const auto target = xml.Attr("Target");
        if (!id || !type || !target) continue;
        out[*id] = {type->substr(type->rfind('/') + 1), ResolvePart(folder, *target)};
    }
    return out;
}

// The text of a string item (<si> or <is>): its runs joined, phonetic
// guides left out.
std::string RichText(Xml& xml) {
    std::string text;
    if (xml.Empty()) return text;
    const int depth = xml.Depth();
    while (xml.Next() && !(xml.Type() == XML_READER_TYPE_END_ELEMENT && xml.Depth() == depth)) {
        if (xml.Start("rPh"))
            xml.Skip();
        else if (xml.Start("t"))
            text += xml.Text();
    }
    return text;
}

std::optional<base::Error> ReadSharedStrings(std::string_view doc, Budget& budget,
                                             std::vector<std::string>& out) {
    Xml xml(doc);
    while (xml.Next()) {
        if (!xml.Start("si")) continue;
        out.push_back(RichText(xml));
        if (!budget.Text(out.back().size()) || out.size() > budget.MaxCells())
            return budget.Error();
    }
    if (xml.Failed()) return Broken("the shared strings");
    return std::nullopt;
}

// "B12" -> row 12, column 2; false for anything else.
bool ParseReference(std::string_view ref, std::int64_t& row, std::int64_t& column) {
    std::int64_t c = 0, r = 0;
    std::size_t i = 0;
    for (; i < ref.size() && ref[i] >= 'A' && ref[i] <= 'Z' && c < kFar; ++i)
        c = c * 26 + (ref[i] - 'A' + 1);
    const std::size_t letters = i;
    for (; i < ref.size() && ref[i] >= '0' && ref[i] <= '9' && r < kFar; ++i)
        r = r * 10 + (ref[i] - '0');
    if (letters == 0 || i == letters || i != ref.size() || r == 0) return false;
    row = r;
    column = c;
    return true;
}

// One <c> element and everything in it.
Cell ReadXlsxCell(Xml& xml, const std::vector<std::string>& strings) {
    const std::string type = xml.Attr("t").value_or("n");
    std::optional<std::string> value, inlineText;
    bool formula = false;
    if (!xml.Empty()) {
        const int depth = xml.Depth();
        while (xml.Next() && !(xml.Type() == XML_READER_TYPE_END_ELEMENT && xml.Depth() == depth)) {
            if (xml.Start("v"))
                value = xml.Text();
            else if (xml.Start("is"))
                inlineText = RichText(xml);
            else if (xml.Start("f")) {
                formula = true;
                xml.Skip();
            }
        }
    }
    if (type == "inlineStr") return inlineText ? TextFromUtf8(*inlineText) : Cell{};
    if (!value) return formula ? OtherCell() : Cell{};  // a formula never calculated has no value
    if (type == "s") {
        const auto index = ParseNumber(*value);
        if (!index || *index < 0 || *index >= static_cast<double>(strings.size()))
            return OtherCell();
        return TextFromUtf8(strings[static_cast<std::size_t>(*index)]);
    }
    if (type == "str") return TextFromUtf8(*value);
    if (type == "n") {
        const auto number = ParseNumber(*value);
        return number ? NumberFromFile(*number) : OtherCell();
    }
    if (type == "d") {  // an ISO 8601 date
        const auto serial = DateSerial(*value);
        return serial ? NumberFromFile(*serial) : OtherCell();
    }
    return OtherCell();  // "b", "e"
}

std::optional<base::Error> ReadXlsxSheet(std::string_view doc,
                                         const std::vector<std::string>& strings, SheetSink& sink,
                                         Budget& budget) {
    Xml xml(doc);
    std::int64_t row = 0, column = 0;
    while (xml.Next()) {
        if (xml.Start("row")) {
            std::int64_t r = 0, unused = 0;
            const auto attr = xml.Attr("r");
            row = attr && ParseReference("A" + *attr, r, unused) ? r : row + 1;
            column = 0;
        } else if (xml.Start("c")) {
            std::int64_t r = 0, c = 0;
            const auto ref = xml.Attr("r");
            if (ref && ParseReference(*ref, r, c)) {
                row = r;
                column = c;
            } else {
                ++column;
            }
            if (!sink.Put(row, column, ReadXlsxCell(xml, strings))) return budget.Error();
            // Nothing below the last row kept is needed but the fact that it is there.
            if (sink.Cut()) return std::nullopt;
        }
    }
    if (xml.Failed()) return Broken("a worksheet");
    return std::nullopt;
}

base::Result<Workbook> ReadXlsx(std::string_view bytes, const std::vector<ZipEntry>& entries,
                                const ReadLimits& limits) {
    auto part = [&](std::string_view name) -> std::optional<std::string> {
        const ZipEntry* e = FindEntry(entries, name);
        return e ? Unpack(bytes, *e, limits.maxUnpackedBytes) : std::nullopt;
    };
    const auto workbookXml = part("xl/workbook.xml");
    if (!workbookXml) return Broken("xl/workbook.xml");
    const auto relsXml = part("xl/_rels/workbook.xml.rels");
    const auto rels =
        relsXml ? ReadRelationships(*relsXml, "xl/") : std::map<std::string, Relationship>{};

    Budget budget(limits);
    std::vector<std::string> strings;
    for (const auto& [id, rel] : rels) {
        if (rel.type != "sharedStrings") continue;
        const auto doc = part(rel.target);
        if (!doc) return Broken(rel.target);
        if (auto error = ReadSharedStrings(*doc, budget, strings)) return *error;
    }

    // The worksheets in workbook order (chart sheets are not worksheets).
    std::vector<std::pair<std::string, std::string>> sheets;  // name, part
    Xml xml(*workbookXml);
    while (xml.Next()) {
        if (!xml.Start("sheet")) continue;
        const auto name = xml.Attr("name");
        const auto id = xml.Attr("id");
        const auto rel = id ? rels.find(*id) : rels.end();
        if (!name || rel == rels.end()) return Broken("the sheet list");
        if (rel->second.type != "worksheet") continue;
        if (static_cast<int>(sheets.size()) >= limits.maxSheets) return TooBig("too many sheets");
        sheets.emplace_back(*name, rel->second.target);
    }
    if (xml.Failed()) return Broken("xl/workbook.xml");

    Workbook workbook;
    for (const auto& [name, target] : sheets) {
        const auto doc = part(target);
        if (!doc) return Broken(target);
        workbook.sheets.emplace_back(name);
        SheetSink sink(workbook.sheets.back(), limits, budget);
        if (auto error = ReadXlsxSheet(*doc, strings, sink, budget)) return *error;
    }
    return workbook;
}

// --- .ods --------------------------------------------------------------------

constexpr std::string_view kOfficeNs = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr std::string_view kTableNs = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
constexpr std::string_view kTextNs = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";
constexpr std::string_view kCalcExtNs =
    "urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0";

// "PT12H30M00S" as a fraction of a day.
std::optional<double> TimeSerial(std::string_view s) {
    int hh = 0, mm = 0;
    double ss = 0;
    if (std::sscanf(std::string(s).c_str(), "PT%dH%dM%lfS", &hh, &mm, &ss) != 3)
        return std::nullopt;
    return (hh * 3600.0 + mm * 60.0 + ss) / 86400.0;
}

// The text of one paragraph: spaces, tabs and line breaks as they stand.
void ParagraphText(Xml& xml, std::string& text, Budget& budget) {
    if (xml.Empty()) return;
    const int depth = xml.Depth();
    while (xml.Next() && !(xml.Type() == XML_READER_TYPE_END_ELEMENT && xml.Depth() == depth)) {
        if (xml.IsText()) {
            text += xml.Value();
        } else if (xml.Type() == XML_READER_TYPE_ELEMENT) {
            const std::string_view name = xml.Name();
            if (name == "s") {
                // A space count is a count, not work: it is bounded by the text budget.
                const std::int64_t n = ParseCount(xml.Attr("c", kTextNs));
                if (!budget.Text(static_cast<std::size_t>(n))) return;
                text.append(static_cast<std::size_t>(n), ' ');
            } else if (name == "tab") {
                text += '\t';
            } else if (name == "line-break") {
                text += '\n';
            } else if (name == "annotation" || name == "note") {
                xml.Skip();
            }
        }
    }
}

Cell ReadOdsCell(Xml& xml, Budget& budget) {
    const auto type = xml.Attr("value-type", kOfficeNs);
    const bool error = xml.Attr("value-type", kCalcExtNs) == "error";
    std::optional<std::string> attrText;
    Cell cell;
    if (type && !error) {
        if (*type == "float" || *type == "percentage" || *type == "currency") {
            const auto v = xml.Attr("value", kOfficeNs);
            const auto n = v ? ParseNumber(*v) : std::nullopt;
            cell = n ? NumberFromFile(*n) : OtherCell();
        } else if (*type == "date") {
            const auto v = xml.Attr("date-value", kOfficeNs);
            const auto n = v ? DateSerial(*v) : std::nullopt;
            cell = n ? NumberFromFile(*n) : OtherCell();
        } else if (*type == "time") {
            const auto v = xml.Attr("time-value", kOfficeNs);
            const auto n = v ? TimeSerial(*v) : std::nullopt;
            cell = n ? NumberFromFile(*n) : OtherCell();
        } else if (*type == "string") {
            attrText = xml.Attr("string-value", kOfficeNs);
            cell = Cell::Text({});
        } else {
            cell = OtherCell();  // boolean, void
        }
    } else if (type) {
        cell = OtherCell();
    }
    // The paragraphs, joined by line breaks; an annotation is no part of the value.
    std::string text;
    int paragraphs = 0;
    if (!xml.Empty()) {
        const int depth = xml.Depth();
        while (xml.Next() && !(xml.Type() == XML_READER_TYPE_END_ELEMENT && xml.Depth() == depth)) {
            if (xml.Type() != XML_READER_TYPE_ELEMENT) continue;
            if (xml.Name() == "p" && xml.Depth() == depth + 1) {
                if (paragraphs++ > 0) text += '\n';
                ParagraphText(xml, text, budget);
            } else {
                xml.Skip();
            }
        }
    }
    if (cell.kind == CellKind::Text) cell = TextFromUtf8(attrText ? *attrText : text);
    return cell;
}

std::optional<base::Error> ReadOdsTable(Xml& xml, SheetSink& sink, Budget& budget) {
    if (xml.Empty()) return std::nullopt;
    const int tableDepth = xml.Depth();
    std::int64_t row = 1, column = 1, rowRepeat = 1;
    std::vector<std::pair<std::int64_t, Cell>> cells;  // the current row's, within the columns kept
    // A repeated row is put once per row kept, and once more past the last
    // row to note the cut, so a repeat count never turns into work.
    auto endRow = [&]() -> bool {
        const std::int64_t last =
            std::min(row + rowRepeat - 1, std::max<std::int64_t>(row, sink.MaxRows() + 1));
        for (std::int64_t r = row; !cells.empty() && r <= last; ++r)
            for (const auto& [c, cell] : cells)
                if (!sink.Put(r, c, cell)) return false;
        row = std::min(row + rowRepeat, kFar);
        cells.clear();
        return true;
    };
    while (xml.Next() &&
           !(xml.Type() == XML_READER_TYPE_END_ELEMENT && xml.Depth() == tableDepth)) {
        if (xml.End("table-row")) {
            if (!endRow()) return budget.Error();
            continue;
        }
        if (xml.Type() != XML_READER_TYPE_ELEMENT) continue;
        const std::string_view name = xml.Name();
        if (name == "table-row") {
            rowRepeat = ParseCount(xml.Attr("number-rows-repeated", kTableNs));
            column = 1;
            if (xml.Empty() && !endRow()) return budget.Error();
        } else if (name == "table-cell" || name == "covered-table-cell") {
            const std::int64_t repeat = ParseCount(xml.Attr("number-columns-repeated", kTableNs));
            const Cell cell = ReadOdsCell(xml, budget);
            if (budget.Over()) return budget.Error();
            if (cell.kind != CellKind::Empty)
                for (std::int64_t c = column; c < column + repeat && c <= sink.MaxColumns(); ++c)
                    cells.emplace_back(c, cell);
            column = std::min(column + repeat, kFar);
        } else if (name == "table" || name == "shapes" || name == "named-expressions") {
            xml.Skip();  // a table inside a drawing is no sheet
        }
    }
    if (xml.Failed()) return Broken("content.xml");
    return std::nullopt;
}

base::Result<Workbook> ReadOds(std::string_view bytes, const std::vector<ZipEntry>& entries,
                               const ReadLimits& limits) {
    const ZipEntry* entry = FindEntry(entries, "content.xml");
    const auto doc = entry ? Unpack(bytes, *entry, limits.maxUnpackedBytes) : std::nullopt;
    if (!doc) return Broken("content.xml");
    Budget budget(limits);
    Workbook workbook;
    Xml xml(*doc);
    while (xml.Next()) {
        if (!xml.Start("table")) continue;
        if (static_cast<int>(workbook.sheets.size()) >= limits.maxSheets)
            return TooBig("too many sheets");
        workbook.sheets.emplace_back(xml.Attr("name", kTableNs).value_or(std::string()));
        SheetSink sink(workbook.sheets.back(), limits, budget);
        if (auto error = ReadOdsTable(xml, sink, budget)) return *error;
    }
    if (xml.Failed()) return Broken("content.xml");
    return workbook;
}

}  // namespace

base::Result<Workbook> ReadZipInProcess(std::string_view bytes, WorkbookFormat format,
                                        const ReadLimits& limits) {
    auto entries = ZipDirectory(bytes, limits);
    if (!entries) return entries.error();
    try {
        return format == WorkbookFormat::Xlsx ? ReadXlsx(bytes, *entries, limits)
                                              : ReadOds(bytes, *entries, limits);
    } catch (const std::bad_alloc&) {
        return TooBig("out of memory");
    }
}

base::Result<Workbook> ReadZipWorkbook(std::string_view bytes, WorkbookFormat format,
                                       const ReadLimits& limits) {
    return ReadIsolated([&] { return ReadZipInProcess(bytes, format, limits); }, limits);
}

}  // namespace velsend::exchange::detail

// Parsing in a child process, for readers that may crash on crafted files.
#include <cstring>

#include "base/platform/isolated_run.h"
#include "core/exchange/workbook_readers.h"

namespace velsend::exchange::detail {
namespace {

// libfreexl has memory faults on crafted files (found by fuzzing), and a
// parser is where a crafted file does its harm, so none parses inside the
// program: a child reads the file and sends the cells back through a pipe; a
// child that dies only fails the read. The child has a time limit and dies
// with its parent.

void PutBytes(std::string& out, const void* p, std::size_t n) {
    out.append(static_cast<const char*>(p), n);
}
void PutU32(std::string& out, std::uint32_t v) {
    PutBytes(out, &v, sizeof v);
}
void PutText(std::string& out, const std::string& s) {
    PutU32(out, static_cast<std::uint32_t>(s.size()));
    out += s;
}

std::string Serialise(const base::Result<Workbook>& result) {
    std::string out;
    if (!result) {
        out.push_back('E');
        PutText(out, result.error().userText);
        PutText(out, result.error().reason);
        return out;
    }
    out.push_back('W');
    PutU32(out, static_cast<std::uint32_t>(result->sheets.size()));
    for (const Sheet& sheet : result->sheets) {
        PutText(out, sheet.Name());
        out.push_back(sheet.rowsCut ? 1 : 0);
        std::uint32_t cells = 0;
        for (int r = 1; r <= sheet.RowCount(); ++r)
            for (int c = 1; c <= sheet.ColumnCount(r); ++c)
                cells += sheet.Get(r, c).kind != CellKind::Empty;
        PutU32(out, cells);
        for (int r = 1; r <= sheet.RowCount(); ++r) {
            for (int c = 1; c <= sheet.ColumnCount(r); ++c) {
                const Cell& cell = sheet.Get(r, c);
                if (cell.kind == CellKind::Empty) continue;
                PutU32(out, static_cast<std::uint32_t>(r));
                PutU32(out, static_cast<std::uint32_t>(c));
                out.push_back(static_cast<char>(cell.kind));
                out.push_back(cell.lossy ? 1 : 0);
                PutBytes(out, &cell.number, sizeof cell.number);
                PutText(out, cell.text);
            }
        }
    }
    return out;
}

class Reader {
  public:
    explicit Reader(std::string_view data) : data_(data) {}
    bool Bytes(void* p, std::size_t n) {
        if (data_.size() - pos_ < n) return false;
        std::memcpy(p, data_.data() + pos_, n);
        pos_ += n;
        return true;
    }
    bool U32(std::uint32_t& v) { return Bytes(&v, sizeof v); }
    bool Text(std::string& s) {
        std::uint32_t n = 0;
        if (!U32(n) || data_.size() - pos_ < n) return false;
        s.assign(data_.substr(pos_, n));
        pos_ += n;
        return true;
    }

  private:
    std::string_view data_;
    std::size_t pos_ = 0;
};

base::Result<Workbook> Deserialise(std::string_view data, const ReadLimits& limits) {
    const base::Error broken = NotWorkbook("the reader process ended without a result");
    if (data.empty()) return broken;
    Reader in(data.substr(1));
    if (data[0] == 'E') {
        base::Error e;
        if (!in.Text(e.userText) || !in.Text(e.reason)) return broken;
        return e;
    }
    std::uint32_t sheets = 0;
    if (data[0] != 'W' || !in.U32(sheets) || sheets > static_cast<std::uint32_t>(limits.maxSheets))
        return broken;
    Workbook wb;
    for (std::uint32_t s = 0; s < sheets; ++s) {
        std::string name;
        std::uint32_t cells = 0;
        char cut = 0;
        if (!in.Text(name) || !in.Bytes(&cut, 1) || !in.U32(cells) ||
            cells > static_cast<std::uint64_t>(limits.maxRows) *
                        static_cast<std::uint64_t>(limits.maxColumns))
            return broken;
        Sheet sheet(std::move(name));
        sheet.rowsCut = cut != 0;
        for (std::uint32_t i = 0; i < cells; ++i) {
            std::uint32_t r = 0, c = 0;
            char kind = 0, lossy = 0;
            Cell cell;
            if (!in.U32(r) || !in.U32(c) || !in.Bytes(&kind, 1) || !in.Bytes(&lossy, 1) ||
                !in.Bytes(&cell.number, sizeof cell.number) || !in.Text(cell.text))
                return broken;
            if (r < 1 || c < 1 || r > static_cast<std::uint32_t>(limits.maxRows) ||
                c > static_cast<std::uint32_t>(limits.maxColumns) || kind < 1 || kind > 3)
                return broken;
            cell.kind = static_cast<CellKind>(kind);
            cell.lossy = lossy != 0;
            sheet.Put(static_cast<int>(r), static_cast<int>(c), std::move(cell));
        }
        wb.sheets.push_back(std::move(sheet));
    }
    return wb;
}

}  // namespace

base::Result<Workbook> ReadIsolated(const std::function<base::Result<Workbook>()>& read,
                                    const ReadLimits& limits) {
    const platform::IsolatedRun run =
        platform::RunIsolated([&] { return Serialise(read()); }, limits.maxSeconds);
    switch (run.outcome) {
        case platform::IsolatedRun::Outcome::CouldNotStart:
            return base::SystemError(std::string(kNotWorkbookText), run.error);
        case platform::IsolatedRun::Outcome::TimedOut:
            return base::Error{
                std::string(kTooSlowText),
                "the reader process ran past " + std::to_string(limits.maxSeconds) + " s"};
        case platform::IsolatedRun::Outcome::Failed:
            return NotWorkbook("the reader process failed on this file");
        case platform::IsolatedRun::Outcome::Done:
            break;
    }
    return Deserialise(run.output, limits);
}

}  // namespace velsend::exchange::detail

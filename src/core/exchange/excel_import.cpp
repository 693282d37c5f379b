#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "base/file_write.h"
#include "base/gbk.h"
#include "base/platform/system.h"
#include "core/exchange/excel_exchange.h"
#include "core/exchange/templates.h"
#include "core/phrases/phrase_library.h"
#include "core/store/device_store.h"

namespace velsend::exchange {
namespace {

constexpr std::size_t kDeviceFileSize = store::kAddressCount * store::kDeviceRecordSize;
constexpr std::size_t kNameFileSize = store::kAddressCount * store::kNameSize;

// What the import will write, gathered over the whole workbook first.
struct PendingProject {
    const store::ProjectDir& dir;
    std::map<int, std::vector<std::uint8_t>> deviceFiles;  // loop -> 1792 bytes
    std::map<int, std::vector<std::uint8_t>> nameFiles;    // loop -> 4096 bytes
    std::optional<std::vector<std::uint8_t>> phraseFile;   // 4096 bytes
    std::map<int, std::string> logicRules;                 // number -> text
    std::optional<base::Error> readError;                  // an old file that could not be read

    std::vector<std::uint8_t> Old(const std::filesystem::path& path, std::size_t size) {
        auto bytes = store::TryReadFixed(path, size);
        if (bytes) return std::move(*bytes);
        if (!readError) readError = bytes.error();
        return std::vector<std::uint8_t>(size, 0);
    }

    std::vector<std::uint8_t>& Devices(int loop) {
        auto it = deviceFiles.find(loop);
        if (it == deviceFiles.end())
            it = deviceFiles
                     .emplace(loop,
                              Old(dir.PathOf(store::ProjectFile::Devices, loop), kDeviceFileSize))
                     .first;
        return it->second;
    }
    std::vector<std::uint8_t>& Names(int loop) {
        auto it = nameFiles.find(loop);
        if (it == nameFiles.end())
            it = nameFiles
                     .emplace(loop, Old(dir.PathOf(store::ProjectFile::ChineseNames, loop),
                                        kNameFileSize))
                     .first;
        return it->second;
    }
    std::vector<std::uint8_t>& Phrases() {
        if (!phraseFile)
            phraseFile = Old(dir.PathOf(store::ProjectFile::Phrases), phrases::kLibrarySize);
        return *phraseFile;
    }

    // One transaction: a full disk or a read-only file leaves every file as
    // it was. Device, name and phrase files keep whatever a longer file has
    // beyond the fixed size; a logic file is exactly its rule.
    base::Result<> Write() const {
        if (readError) return *readError;
        base::Transaction transaction;
        for (const auto& [loop, bytes] : deviceFiles)
            transaction.Write({dir.PathOf(store::ProjectFile::Devices, loop), bytes, true});
        for (const auto& [loop, bytes] : nameFiles)
            transaction.Write({dir.PathOf(store::ProjectFile::ChineseNames, loop), bytes, true});
        if (phraseFile)
            transaction.Write({dir.PathOf(store::ProjectFile::Phrases), *phraseFile, true});
        for (const auto& [number, text] : logicRules) {
            transaction.Write({dir.PathOf(store::ProjectFile::Logic, number),
                               std::vector<std::uint8_t>(text.begin(), text.end()), false});
        }
        return transaction.Commit();
    }
};

struct SheetRun {
    const Sheet& sheet;
    const std::string name;  // trimmed, UTF-8
    ImportSummary& summary;
    const StepFn& step;

    void Skip(int row, std::string reason) const {
        summary.skipped.push_back({name, row, std::move(reason), 0});
    }
    // A text cell about to be stored: lists it when characters became "?".
    void NoteLossy(int row, int column) const {
        if (sheet.Get(row, column).lossy)
            summary.changed.push_back({name, row, "GBK无法表示的字符已存为“?”", column});
    }
    // A name or phrase cell stored folded: lists what the folding changed.
    void NoteFolded(int row, int column, bool english) const;
};

void SheetRun::NoteFolded(int row, int column, bool english) const {
    const Cell& cell = sheet.Get(row, column);
    std::string text;
    if (cell.kind == CellKind::Text)
        text = cell.text;
    else if (cell.kind == CellKind::Number && cell.Integer())
        text = std::to_string(*cell.Integer());
    bool percent = false, halfWidth = false, lower = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x81) {
            ++i;  // the second byte of a two-byte character
            continue;
        }
        percent |= c == '%';
        halfWidth |= !english && std::isalnum(c);
        lower |= english && std::islower(c);
    }
    std::string reason;
    if (halfWidth) reason = "半角字母和数字已改为全角";
    if (lower) reason = "小写字母已改为大写";
    if (percent) reason += std::string(reason.empty() ? "" : "，") + "“%”已删除";
    if (!reason.empty()) summary.changed.push_back({name, row, std::move(reason), column});
}

std::string Quoted(std::string_view gbk) {
    return "“" + base::GbkToUtf8(gbk) + "”";
}

// The 16 bytes a text or number cell stores (zeros for anything else).
std::array<std::uint8_t, 16> StoredText(const Cell& cell, bool english) {
    if (cell.kind == CellKind::Text) return ExcelTextFold(PrepareCellText(cell.text), english);
    if (auto n = cell.Integer()) {
        // The cell's number as the panel's software formats an int.
        const auto asInt = static_cast<std::int32_t>(static_cast<std::uint32_t>(*n));
        return ExcelTextFold(std::to_string(asInt), english);
    }
    return {};
}

// Rules keep their bytes (the panels accept what the editor's alphabet
// refuses), but a control character is worth a look.
bool HasControlCharacter(std::string_view gbk) {
    for (std::size_t i = 0; i < gbk.size(); ++i) {
        const auto c = static_cast<unsigned char>(gbk[i]);
        if (c >= 0x81)
            ++i;  // a two-byte character
        else if (c < 0x20 || c == 0x7F)
            return true;
    }
    return false;
}

std::string ColumnName(int column) {
    std::string name;
    for (; column > 0; column = (column - 1) / 26)
        name.insert(name.begin(), static_cast<char>('A' + (column - 1) % 26));
    return name;
}

void AppendNotes(std::string& text, const std::vector<ImportNote>& notes, std::size_t maxLines) {
    std::size_t shown = 0;
    for (const ImportNote& note : notes) {
        if (shown++ == maxLines) {
            text += "\n……另有 " + std::to_string(notes.size() - maxLines) + " 项";
            break;
        }
        text += "\n[" + note.sheet + "] ";
        if (note.row == 0)
            text += "整个工作表：";
        else
            text += "第" + std::to_string(note.row) + "行" +
                    (note.column ? ColumnName(note.column) + "列" : "") + "：";
        text += note.reason;
    }
}

// Rows from 2 until the first empty A cell, stepping once per row. Rows
// that go on past the sheet's last row are reported, not read.
template <class RowFn>
void ForEachRow(const SheetRun& run, RowFn&& fn) {
    for (int r = 2; r <= kLastSheetRow; ++r) {
        if (run.step) run.step();
        const Cell& a = run.sheet.Get(r, 1);
        if (a.kind == CellKind::Empty) return;
        if (r == kLastSheetRow &&
            (run.sheet.rowsCut || run.sheet.Get(r + 1, 1).kind != CellKind::Empty))
            run.Skip(r + 1,
                     "超出工作表的最后一行（" + std::to_string(kLastSheetRow) + "），此行起未读取");
        const auto n = a.Integer();
        if (!n) {
            run.Skip(r, "A列不是数字");
            continue;
        }
        fn(r, *n);
    }
}

void ImportPhrases(const SheetRun& run, PendingProject& project, bool english) {
    ForEachRow(run, [&](int r, std::int64_t n) {
        if (n < 0 || n > 255) {
            run.Skip(r, "词组条目 " + std::to_string(n) + " 超出 0-255");
            return;
        }
        const auto text = StoredText(run.sheet.Get(r, 2), english);
        run.NoteLossy(r, 2);
        run.NoteFolded(r, 2, english);
        std::copy(text.begin(), text.end(), project.Phrases().begin() + n * 16);
        ++run.summary.phrases;
    });
}

void ImportLogic(const SheetRun& run, PendingProject& project, const ExcelImportRules& rules) {
    ForEachRow(run, [&](int r, std::int64_t n) {
        if (n < 0 || n >= rules.logicCapacity) {
            run.Skip(r, "逻辑条目 " + std::to_string(n) + " 超出 0-" +
                            std::to_string(rules.logicCapacity - 1));
            return;
        }
        const Cell& b = run.sheet.Get(r, 2);
        std::string text;
        // Cut at a whole character: half a character would reach the panel
        // as a different one.
        if (b.kind == CellKind::Text) {
            text =
                std::string(base::FitGbk(b.text, static_cast<std::size_t>(rules.logicTextLimit)));
            run.NoteLossy(r, 2);
            if (HasControlCharacter(text))
                run.summary.changed.push_back({run.name, r, "逻辑规则含控制字符", 2});
        }
        project.logicRules[static_cast<int>(n)] = std::move(text);
        ++run.summary.logicRules;
    });
}

void ImportDevices(const SheetRun& run, PendingProject& project, const ExcelImportRules& rules,
                   bool english) {
    ForEachRow(run, [&](int r, std::int64_t code) {
        const std::int64_t loop = code / 1000;
        const std::int64_t address = code % 1000;
        if (loop < 0 || loop > 255 || address < 0 || address > 255) {
            run.Skip(r, "地址码 " + std::to_string(code) + " 超出范围（回路和地址均为 0-255）");
            return;
        }
        const Cell& b = run.sheet.Get(r, 2);
        if (b.kind != CellKind::Text) {
            run.Skip(r, "类型为空，地址 " + std::to_string(code) + " 保持原样");
            return;
        }
        const auto type = LookupTypeName(b.text, rules.kaTypeNames);
        if (!type) {
            run.Skip(r, "无法识别的类型名称" + Quoted(b.text));
            return;
        }
        store::DeviceRecord d;
        d.StatusByte =
            static_cast<std::uint8_t>(0x80 | (type->productClass << 5) | (type->type & 0x0F));
        d.TypeHighByte = static_cast<std::uint8_t>(type->type >> 4);
        const auto name = StoredText(run.sheet.Get(r, 3), english);
        run.NoteLossy(r, 3);
        run.NoteFolded(r, 3, english);
        std::uint8_t* fields[] = {&d.Zone, &d.Floor, &d.Room, &d.NamePhrase};
        for (int f = 0; f < 4; ++f) {
            const auto v = run.sheet.Get(r, 4 + f).Integer();
            *fields[f] = v && *v >= 0 && *v < 256 ? static_cast<std::uint8_t>(*v) : 0;
        }
        if (d.StatusByte & 0x40) {
            const Cell& h = run.sheet.Get(r, 8);
            static const std::string kAuto = base::Utf8ToGbk("自动").value_or("");
            static const std::string kYes = base::Utf8ToGbk("是").value_or("");
            if (h.kind == CellKind::Empty || (h.kind == CellKind::Text && h.text != kAuto))
                d.ParamByte |= 0x80;
            if (const auto delay = run.sheet.Get(r, 9).Integer()) {
                if (*delay >= 0 && *delay <= 127)
                    d.ParamByte = static_cast<std::uint8_t>(d.ParamByte + *delay);
                else
                    d.ParamByte = 0;
            }
            if (run.sheet.Get(r, 10).IsText(kYes))
                d.StatusByte = static_cast<std::uint8_t>(d.StatusByte + 0x20);
        }
        const std::uint8_t bytes[] = {d.StatusByte, d.ParamByte, d.TypeHighByte, d.Zone,
                                      d.Floor,      d.Room,      d.NamePhrase};
        const int l = static_cast<int>(loop);
        std::copy(std::begin(bytes), std::end(bytes),
                  project.Devices(l).begin() +
                      address * static_cast<std::int64_t>(store::kDeviceRecordSize));
        std::copy(name.begin(), name.end(),
                  project.Names(l).begin() + address * static_cast<std::int64_t>(store::kNameSize));
        ++run.summary.devices;
    });
}

}  // namespace

std::string ImportSummary::Text(std::size_t maxLines) const {
    std::string text = "导入词组 " + std::to_string(phrases) + " 条，逻辑规则 " +
                       std::to_string(logicRules) + " 条，总线设备 " + std::to_string(devices) +
                       " 个。";
    if (!emptySheets.empty()) {
        text += "\n空的工作表（没有数据行）：";
        for (std::size_t i = 0; i < emptySheets.size(); ++i)
            text += (i ? "、[" : "[") + emptySheets[i] + "]";
    }
    if (!skipped.empty()) {
        text += "\n未导入 " + std::to_string(skipped.size()) + " 项：";
        AppendNotes(text, skipped, maxLines);
    }
    if (!changed.empty()) {
        text += "\n已导入但有改动 " + std::to_string(changed.size()) + " 处：";
        AppendNotes(text, changed, maxLines);
    }
    return text;
}

base::Result<ImportSummary> ImportWorkbook(const store::ProjectDir& dir, const Workbook& workbook,
                                           ExcelFamily family, bool englishWorkbook,
                                           const StepFn& step) {
    const ExcelImportRules rules = RulesFor(family);
    const std::string address = base::Utf8ToGbk(kAddressHeader).value_or("");
    const std::string type = base::Utf8ToGbk(kTypeHeader).value_or("");
    // A workbook without a single cell was not read, whatever the reader
    // made of it: that is no import of nothing.
    const bool anything = std::any_of(workbook.sheets.begin(), workbook.sheets.end(),
                                      [](const Sheet& s) { return s.RowCount() > 0 || s.rowsCut; });
    if (!anything)
        return base::Error{std::string(kNothingReadText),
                           std::to_string(workbook.sheets.size()) + " sheets, none with a cell"};
    PendingProject project{dir, {}, {}, {}, {}, {}};
    ImportSummary summary;
    for (const Sheet& sheet : workbook.sheets) {
        if (step) step();
        const std::string name(TrimBlanks(sheet.Name()));
        const SheetRun run{sheet, name, summary, step};
        if (name.empty()) {
            run.Skip(0, "工作表名称为空");
            continue;
        }
        const int before = summary.phrases + summary.logicRules + summary.devices;
        if (name == kPhraseSheetName) {
            ImportPhrases(run, project, englishWorkbook);
        } else if (name == kLogicSheetName) {
            ImportLogic(run, project, rules);
        } else if (sheet.Get(1, 1).IsText(address) && sheet.Get(1, 2).IsText(type)) {
            ImportDevices(run, project, rules, englishWorkbook);
        } else {
            run.Skip(0, "A1、B1不是“地址码”、“类型”，不是设备表");
            continue;
        }
        // A sheet without a data row is empty, not skipped.
        if (run.sheet.Get(2, 1).kind == CellKind::Empty && !run.sheet.rowsCut)
            summary.emptySheets.push_back(name);
        else if (summary.phrases + summary.logicRules + summary.devices == before)
            run.Skip(0, "没有导入任何行");
        ++summary.sheetsRead;
    }
    if (auto written = project.Write(); !written) return written.error();
    return summary;
}

base::Result<ImportSummary> ImportExcel(const store::ProjectDir& dir,
                                        const std::filesystem::path& path, ExcelFamily family,
                                        const StepFn& step) {
    const base::ChangeText what("从Excel导入 " + platform::PathToUtf8(path.filename()));
    auto workbook = ReadWorkbook(path);
    if (!workbook) return workbook.error();
    return ImportWorkbook(dir, *workbook, family, IsEnglishWorkbook(path.filename().string()),
                          step);
}

}  // namespace velsend::exchange

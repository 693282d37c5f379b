#include <filesystem>

#include "base/gbk.h"
#include "base/project_lock.h"
#include "core/exchange/excel_exchange.h"
#include "core/exchange/templates.h"
#include "core/logic/logic_files.h"
#include "core/phrases/phrase_library.h"
#include "core/store/device_store.h"

namespace velsend::exchange {
namespace {

void Step(const StepFn& step) {
    if (step) step();
}

Sheet* FindSheet(Workbook& wb, std::string_view name) {
    for (Sheet& s : wb.sheets)
        if (TrimBlanks(s.Name()) == name) return &s;
    return nullptr;
}

void ExportPhrases(const store::ProjectDir& dir, Sheet& sheet, ExportSummary& summary,
                   const StepFn& step) {
    const phrases::PhraseImage image = phrases::ReadPhraseLibrary(dir);
    int r = 2;
    for (int i = 0; i < phrases::kPhraseCount; ++i) {
        Step(step);
        const std::string text(base::TrimTrailingSpaces(phrases::PhraseText(image, i)));
        if (text.empty()) continue;
        sheet.Put(r, 1, Cell::Number(i));
        sheet.Put(r, 2, Cell::Text(base::UpperAscii(text)));
        ++r;
        ++summary.phrases;
    }
}

void ExportLogic(const store::ProjectDir& dir, Sheet& sheet, ExportSummary& summary,
                 const StepFn& step) {
    int r = 2;
    for (int i = 0; i < 1000; ++i) {
        Step(step);
        const std::string text = logic::ReadLogicRule(dir, i);
        if (text.empty()) continue;
        sheet.Put(r, 1, Cell::Number(i));
        sheet.Put(r, 2, Cell::Text(text));
        ++r;
        ++summary.logicRules;
    }
}

void ExportDevices(const store::ProjectDir& dir, Sheet& sheet, ExportSummary& summary,
                   const StepFn& step) {
    int r = 2;
    for (int loop = 0; loop < store::kLoopCount; ++loop) {
        Step(step);
        std::error_code ec;
        if (!std::filesystem::exists(dir.PathOf(store::ProjectFile::Devices, loop), ec)) continue;
        const store::DeviceFile devices = store::ReadDeviceFile(dir, loop);
        const store::ChineseNameFile names = store::ReadChineseNameFile(dir, loop);
        for (int a = 0; a < store::kAddressCount; ++a) {
            const store::DeviceRecord& d = devices[static_cast<std::size_t>(a)];
            if (!d.Installed()) continue;
            if (r > kLastSheetRow) {
                ++summary.devicesLeftOut;
                continue;
            }
            sheet.Put(r, 1, Cell::Number(loop * 1000 + a));
            if (auto name = ExportTypeName(d)) sheet.Put(r, 2, Cell::Text(std::move(*name)));
            const std::string text(
                base::TrimTrailingSpaces(store::NameText(names[static_cast<std::size_t>(a)])));
            sheet.Put(r, 3, Cell::Text(base::UpperAscii(text)));
            const std::uint8_t fields[] = {d.Zone, d.Floor, d.Room, d.NamePhrase};
            for (int f = 0; f < 4; ++f)
                if (fields[f] != 0) sheet.Put(r, 4 + f, Cell::Number(fields[f]));
            if (d.StatusByte & 0x40) {
                if ((d.ParamByte & 0x80) == 0) sheet.Put(r, 8, Cell::Utf8("自动"));
                if (d.Delay() != 0) sheet.Put(r, 9, Cell::Number(d.Delay()));
                if (d.StatusByte & 0x20) sheet.Put(r, 10, Cell::Utf8("是"));
            }
            ++r;
            ++summary.devices;
        }
    }
}

}  // namespace

std::string ExportSummary::Text() const {
    std::string text = "导出词组 " + std::to_string(phrases) + " 条，逻辑规则 " +
                       std::to_string(logicRules) + " 条，总线设备 " + std::to_string(devices) +
                       " 个。";
    if (devicesLeftOut > 0)
        text += "\n工作表已满（65536行），另有 " + std::to_string(devicesLeftOut) +
                " 个总线设备未导出。";
    if (renamed) text += "\n导出的文件为.xlsx格式，已保存为“" + file.filename().string() + "”。";
    return text;
}

Workbook BuildExportWorkbook(const store::ProjectDir& dir, ExportSummary& summary,
                             const StepFn& step) {
    Workbook wb = StandardTemplate();
    // Visit the template's sheets by role, as a workbook handed in would be.
    if (Sheet* s = FindSheet(wb, kPhraseSheetName)) ExportPhrases(dir, *s, summary, step);
    if (Sheet* s = FindSheet(wb, kLogicSheetName)) ExportLogic(dir, *s, summary, step);
    if (Sheet* s = FindSheet(wb, kDeviceSheetName)) ExportDevices(dir, *s, summary, step);
    return wb;
}

base::Result<ExportSummary> ExportExcel(const store::ProjectDir& dir,
                                        const std::filesystem::path& path, const StepFn& step) {
    ExportSummary summary;
    summary.file = XlsxFileName(path);
    summary.renamed = summary.file != path;
    Workbook wb;
    {
        // Read as one whole state: another program's commit waits until the
        // project is read (the workbook is written after).
        auto reading =
            base::ProjectLock::AcquireShared(dir.Root(), base::ProjectLock::DefaultWait());
        if (!reading) return reading.error();
        wb = BuildExportWorkbook(dir, summary, step);
    }
    if (auto written = WriteXlsx(wb, summary.file); !written)
        return base::Error{std::string(kOpenFailedText), written.error().Full()};
    return summary;
}

}  // namespace velsend::exchange

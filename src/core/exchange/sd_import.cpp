#include "core/exchange/sd_import.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "base/field_check.h"
#include "base/file_write.h"
#include "base/gbk.h"
#include "base/platform/system.h"
#include "core/exchange/file_batch.h"
#include "core/exchange/raw_read.h"
#include "core/exchange/sd_pack.h"

namespace velsend::exchange {
namespace {

std::vector<std::uint8_t> SpacesForFF(std::span<const std::uint8_t> block) {
    std::vector<std::uint8_t> out(block.begin(), block.end());
    for (void* at = std::memchr(out.data(), 0xFF, out.size()); at != nullptr;
         at = std::memchr(
             at, 0xFF,
             out.size() - static_cast<std::size_t>(static_cast<std::uint8_t*>(at) - out.data())))
        *static_cast<std::uint8_t*>(at) = 0x20;
    return out;
}

}  // namespace

std::string_view ImportDialogTitle(base::SdFamily family) {
    return family == base::SdFamily::KBX ? "导入KBX数据..." : "导入KA,KAII数据...";
}

std::string_view ImportDialogFilter(base::SdFamily family) {
    return family == base::SdFamily::KBX ? "数据文件|KBX???.DAT|" : "数据文件|MXKA???.DAT|";
}

bool HasFamilyPrefix(base::SdFamily family, std::string_view fileName) {
    const std::string_view prefix = LayoutOf(family).namePrefix;
    const std::string upper = base::UpperAscii(fileName);
    return upper.compare(0, prefix.size(), prefix) == 0;
}

std::string DecodeLogicRecord(base::SdFamily family, std::span<const std::uint8_t> record) {
    const void* end = std::memchr(record.data(), 0xFF, record.size());
    const std::size_t length =
        end ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(end) - record.data())
            : record.size();
    std::string text;
    text.reserve(length);
    for (std::uint8_t b : record.first(length)) {
        if (family == base::SdFamily::KA) {
            if (b <= 0x09)
                b = static_cast<std::uint8_t>('0' + b);
            else if (b <= 0x15)
                b = static_cast<std::uint8_t>('a' + b - 0x0A);
        }
        text.push_back(static_cast<char>(b));
    }
    return text;
}

base::Result<SdImportPlan> PlanSdImport(base::SdFamily family, std::span<const std::uint8_t> bytes,
                                        int startLoop, const SdSections& sections) {
    const SdLayout& layout = LayoutOf(family);
    if (auto error = base::CheckRange(startLoop, 0, layout.maxStartLoop))
        return base::Error{*error, "start loop " + std::to_string(startLoop)};

    // A card of the other family, a selection with nothing in this family's
    // cards, or a file that ends before the ticked sections do would import
    // zeros over the project: refused before anything is touched.
    const SdLayout& other =
        LayoutOf(family == base::SdFamily::KA ? base::SdFamily::KBX : base::SdFamily::KA);
    if (bytes.size() == other.fileSize && bytes.size() != layout.fileSize) {
        return base::Error{"这是" + std::string(other.familyText) + "数据文件（" +
                               std::to_string(bytes.size()) + " 字节），不能按" +
                               std::string(layout.familyText) + "数据导入。",
                           ""};
    }
    std::size_t needed = 0;
    auto need = [&needed](bool ticked, std::size_t end) {
        if (ticked) needed = std::max(needed, end);
    };
    need(sections.devices, static_cast<std::size_t>(layout.loops) * kLoopBlockSize);
    need(sections.phrases, layout.phraseOffset + kNameBlockSize);
    need(sections.logic, layout.logicOffset + static_cast<std::size_t>(layout.logicRecords) *
                                                  layout.logicRecordSize);
    need(sections.names && layout.nameOffset != 0,
         layout.nameOffset + static_cast<std::size_t>(layout.loops) * kNameBlockSize);
    if (!sections.devices && !sections.phrases && !sections.logic && !sections.names)
        return base::Error{"没有选择要导入的部分，没有导入。", ""};
    if (needed == 0) {
        return base::Error{std::string(layout.familyText) +
                               "数据文件没有所选的部分（没有中文名称），没有可导入的内容。",
                           ""};
    }
    if (bytes.size() < needed) {
        return base::Error{"文件只有 " + std::to_string(bytes.size()) + " 字节，导入所选部分需要 " +
                               std::to_string(needed) + " 字节（" + std::string(layout.familyText) +
                               "数据文件共 " + std::to_string(layout.fileSize) +
                               " 字节），没有导入。",
                           ""};
    }

    // What the file lacks beyond the ticked sections reads as zeros.
    const std::span<const std::uint8_t> card = bytes.first(std::min(bytes.size(), layout.fileSize));
    auto section = [&](std::size_t offset, std::size_t size) {
        std::vector<std::uint8_t> out(size, 0);
        if (offset < card.size())
            std::copy_n(card.begin() + static_cast<std::ptrdiff_t>(offset),
                        std::min(size, card.size() - offset), out.begin());
        return out;
    };
    SdImportPlan plan;
    plan.missingBytes = layout.fileSize - card.size();
    auto add = [&](SdImportPlan::Kind kind, int number, std::vector<std::uint8_t> data) {
        plan.items.push_back({kind, number, std::move(data), false});
    };

    auto importDevices = [&] {
        for (int j = 0; j < layout.loops; ++j) {
            std::vector<std::uint8_t> file(1792);
            const std::vector<std::uint8_t> block =
                section(static_cast<std::size_t>(j) * kLoopBlockSize, kLoopBlockSize);
            for (std::size_t a = 0; a < 256; ++a)
                std::copy_n(block.begin() + static_cast<std::ptrdiff_t>(a * kPackRecordSize), 7,
                            file.begin() + static_cast<std::ptrdiff_t>(a * 7));
            add(SdImportPlan::Kind::Devices, startLoop + j, std::move(file));
        }
    };
    auto importPhrases = [&] {
        add(SdImportPlan::Kind::Phrases, 0,
            SpacesForFF(section(layout.phraseOffset, kNameBlockSize)));
    };
    auto importLogic = [&] {
        const std::vector<std::uint8_t> records =
            section(layout.logicOffset,
                    static_cast<std::size_t>(layout.logicRecords) * layout.logicRecordSize);
        for (int n = 0; n < layout.logicRecords; ++n) {
            const std::span<const std::uint8_t> record{
                records.data() + static_cast<std::size_t>(n) * layout.logicRecordSize,
                layout.logicRecordSize};
            if (record[0] == 0xFF) {
                plan.items.push_back({SdImportPlan::Kind::Logic, n, {}, true});
                continue;
            }
            const std::string text = DecodeLogicRecord(family, record);
            add(SdImportPlan::Kind::Logic, n, {text.begin(), text.end()});
        }
    };
    auto importNames = [&] {
        if (layout.nameOffset == 0) return;
        for (int j = 0; j < layout.loops; ++j) {
            add(SdImportPlan::Kind::Names, startLoop + j,
                SpacesForFF(
                    section(layout.nameOffset + static_cast<std::size_t>(j) * kNameBlockSize,
                            kNameBlockSize)));
        }
    };

    // The order the panel maker's tool keeps: the MX300KA card's phrases lie
    // before its logic, the MX300KBX card's after it.
    if (sections.devices) importDevices();
    if (family == base::SdFamily::KA) {
        if (sections.phrases) importPhrases();
        if (sections.logic) importLogic();
        if (sections.names) importNames();
    } else {
        if (sections.logic) importLogic();
        if (sections.phrases) importPhrases();
    }
    return plan;
}

base::Result<SdImportReport> ImportSdBytes(const store::ProjectDir& dir, base::SdFamily family,
                                           std::span<const std::uint8_t> bytes, int startLoop,
                                           const SdSections& sections) {
    auto plan = PlanSdImport(family, bytes, startLoop, sections);
    if (!plan) return plan.error();
    auto pathOf = [&](const SdImportPlan::Item& item) {
        switch (item.kind) {
            case SdImportPlan::Kind::Devices:
                return dir.PathOf(store::ProjectFile::Devices, item.number);
            case SdImportPlan::Kind::Names:
                return dir.PathOf(store::ProjectFile::ChineseNames, item.number);
            case SdImportPlan::Kind::Logic:
                return dir.PathOf(store::ProjectFile::Logic, item.number);
            case SdImportPlan::Kind::Phrases:
                break;
        }
        return dir.PathOf(store::ProjectFile::Phrases);
    };
    SdImportReport report;
    report.missingBytes = plan->missingBytes;
    FileBatch batch;
    std::vector<SdImportPlan::Kind> kinds;
    for (const SdImportPlan::Item& item : plan->items) {
        const std::filesystem::path target = pathOf(item);
        if (item.remove) {
            std::error_code ec;
            if (std::filesystem::exists(target, ec)) {
                batch.Remove(target);
                ++report.logicDeleted;
            }
            continue;
        }
        batch.Add(target, item.bytes);
        kinds.push_back(item.kind);
    }
    batch.Write();
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        if (!batch.Written(i)) continue;
        switch (kinds[i]) {
            case SdImportPlan::Kind::Devices:
                ++report.deviceFiles;
                break;
            case SdImportPlan::Kind::Names:
                ++report.nameFiles;
                break;
            case SdImportPlan::Kind::Logic:
                ++report.logicFiles;
                break;
            case SdImportPlan::Kind::Phrases:
                report.phrases = true;
                break;
        }
    }
    if (batch.Failed()) {
        return base::Error{"导入未完成：无法写入 " + std::to_string(batch.FailedCount()) +
                               " 个文件（" + batch.FailedList() + "）",
                           batch.FirstReason()};
    }
    report.message = std::string(kSdImportDoneText);
    if (report.missingBytes > 0) {
        report.message += "\n文件比" + std::string(LayoutOf(family).familyText) + "数据文件短 " +
                          std::to_string(report.missingBytes) + " 字节，缺少的部分已按 0 导入。";
    }
    return report;
}

base::Result<SdImportReport> ImportSdCard(const store::ProjectDir& dir, base::SdFamily family,
                                          const std::filesystem::path& file, int startLoop,
                                          const SdSections& sections) {
    if (!HasFamilyPrefix(family, file.filename().string()))
        return base::Error{std::string(kFileOpenFailedText), ""};
    const base::ChangeText what("导入SD卡数据 " + platform::PathToUtf8(file.filename()));
    errno = 0;
    const auto bytes = ReadUpTo(file, LayoutOf(family).fileSize);
    if (!bytes) return base::SystemError(std::string(kFileOpenFailedText), errno ? errno : EINVAL);
    return ImportSdBytes(dir, family, *bytes, startLoop, sections);
}

}  // namespace velsend::exchange

#include "core/exchange/sd_pack.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "base/field_check.h"
#include "base/file_write.h"
#include "base/gbk.h"
#include "base/project_lock.h"
#include "core/exchange/raw_read.h"

namespace velsend::exchange {
namespace {

constexpr SdLayout kKA{base::SdFamily::KA,
                       0x50000,
                       "MXKA%03d.dat",
                       "MXKA",
                       "KA,KAII",
                       240,
                       16,
                       0x10000,
                       0x20000,
                       1024,
                       128,
                       120,
                       0x40000};
constexpr SdLayout kKBX{base::SdFamily::KBX,
                        0x8000,
                        "KBX%03d.dat",
                        "KBX",
                        "KBX",
                        254,
                        2,
                        0x7000,
                        0x2000,
                        256,
                        80,
                        80,
                        0};

constexpr std::size_t kSlot = 16;

bool IsDigit(std::uint8_t b) {
    return b >= '0' && b <= '9';
}
bool IsUpper(std::uint8_t b) {
    return b >= 'A' && b <= 'Z';
}
bool IsLower(std::uint8_t b) {
    return b >= 'a' && b <= 'z';
}

std::vector<std::uint8_t> KbxLogicRecord(std::vector<std::uint8_t> text, std::size_t size) {
    // Capitals up to the first zero byte; two-byte characters stay as they are.
    const auto zero = std::find(text.begin(), text.end(), std::uint8_t{0});
    const std::string head(text.begin(), zero);
    const std::string upper = base::UpperAscii(head);
    std::copy(upper.begin(), upper.end(), text.begin());
    return Padded(std::move(text), size, 0xFF);
}

}  // namespace

const SdLayout& LayoutOf(base::SdFamily family) {
    switch (family) {
        case base::SdFamily::KA:
            return kKA;
        case base::SdFamily::KBX:
            return kKBX;
        case base::SdFamily::None:
            break;
    }
    throw std::invalid_argument("no SD-card layout for this family");
}

std::string PackFileName(base::SdFamily family, int controllerId) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03d", controllerId);
    return std::string(LayoutOf(family).namePrefix) + digits + ".dat";
}

void PercentEscapeCode(std::span<std::uint8_t> block) {
    for (std::size_t p = 0; p + 1 < block.size(); ++p) {
        if (block[p] != '%' || (p % kSlot) == kSlot - 1) continue;
        std::uint8_t& next = block[p + 1];
        if (IsDigit(next) || IsUpper(next)) {
            block[p] = 0xA3;
            next = static_cast<std::uint8_t>(next + 0x80);
        } else if (IsLower(next)) {
            block[p] = 0xA3;
            next = static_cast<std::uint8_t>(next + 0x60);
        }
    }
}

std::uint8_t PackLogicByte(std::uint8_t byte) {
    if (IsDigit(byte)) return static_cast<std::uint8_t>(byte - '0');
    if (byte >= 'a' && byte <= 'l') return static_cast<std::uint8_t>(byte - 'a' + 0x0A);
    if (byte >= 'm' && byte <= 'z') return static_cast<std::uint8_t>(byte - 'a' + 'A');
    return byte;
}

std::vector<std::uint8_t> BuildPack(const store::ProjectDir& dir, base::SdFamily family,
                                    int startLoop) {
    const SdLayout& layout = LayoutOf(family);
    std::vector<std::uint8_t> pack(layout.fileSize, 0);

    for (int j = 0; j < layout.loops; ++j) {
        const int loop = startLoop + j;
        const auto devices = ReadUpTo(dir.PathOf(store::ProjectFile::Devices, loop), 1792);
        if (!devices) continue;
        const std::vector<std::uint8_t> records = Padded(*devices, 1792);
        std::uint8_t* block = pack.data() + static_cast<std::size_t>(j) * kLoopBlockSize;
        for (std::size_t a = 0; a < 256; ++a)
            std::memcpy(block + a * kPackRecordSize, records.data() + a * 7, 7);
    }

    if (auto words = ReadUpTo(dir.PathOf(store::ProjectFile::Phrases), kNameBlockSize)) {
        std::vector<std::uint8_t> library = Padded(std::move(*words), kNameBlockSize);
        PercentEscapeCode(library);
        std::copy(library.begin(), library.end(),
                  pack.begin() + static_cast<std::ptrdiff_t>(layout.phraseOffset));
    }

    std::uint8_t* logic = pack.data() + layout.logicOffset;
    std::fill_n(logic, layout.logicRecords * layout.logicRecordSize, std::uint8_t{0xFF});
    for (int n = 0; n < layout.logicRecords; ++n) {
        auto text = ReadUpTo(dir.PathOf(store::ProjectFile::Logic, n), layout.logicReadMax);
        if (!text) continue;
        std::uint8_t* record = logic + static_cast<std::size_t>(n) * layout.logicRecordSize;
        if (family == base::SdFamily::KA) {
            std::transform(text->begin(), text->end(), record, PackLogicByte);
        } else {
            const auto bytes = KbxLogicRecord(std::move(*text), layout.logicRecordSize);
            std::copy(bytes.begin(), bytes.end(), record);
        }
    }

    if (layout.nameOffset != 0) {
        for (int j = 0; j < layout.loops; ++j) {
            auto names = ReadUpTo(dir.PathOf(store::ProjectFile::ChineseNames, startLoop + j),
                                  kNameBlockSize);
            if (!names) continue;
            std::vector<std::uint8_t> block = Padded(std::move(*names), kNameBlockSize);
            PercentEscapeCode(block);
            std::copy(block.begin(), block.end(),
                      pack.begin() +
                          static_cast<std::ptrdiff_t>(
                              layout.nameOffset + static_cast<std::size_t>(j) * kNameBlockSize));
        }
    }
    return pack;
}

base::Result<PackOutcome> PackSdCard(const store::ProjectDir& dir, base::SdFamily family,
                                     int controllerId, int startLoop) {
    const SdLayout& layout = LayoutOf(family);
    if (auto error = base::CheckRange(controllerId, 0, kMaxControllerId))
        return base::Error{*error, "controller identifier " + std::to_string(controllerId)};
    if (auto error = base::CheckRange(startLoop, 0, layout.maxStartLoop))
        return base::Error{*error, "start loop " + std::to_string(startLoop)};
    // Read as one whole state: another program's commit waits until the pack is made.
    auto reading = base::ProjectLock::AcquireShared(dir.Root(), base::ProjectLock::DefaultWait());
    if (!reading) return reading.error();
    const std::vector<std::uint8_t> pack = BuildPack(dir, family, startLoop);
    const std::filesystem::path file = dir.PathOf(PackFileName(family, controllerId));
    if (auto written = base::WriteWholeFile(file, pack); !written) {
        return base::Error{std::string(kPackFailedText), written.error().Full(),
                           written.error().code};
    }
    return PackOutcome{file, std::string(kPackDoneText)};
}

}  // namespace velsend::exchange

// The SD-card import over arbitrary card bytes, both families: whatever the
// card holds, the import plans whole project files of their fixed sizes and
// rule files that stop before any 0xFF byte.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "exchange/sd_import.h"
#include "exchange/sd_pack.h"

using namespace velsend;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const std::span<const std::uint8_t> input(data + 4, size - 4);
    // The logic section (up to 1024 records) costs most; a quarter of the runs
    // take it, each run one family, so that a million runs fit in minutes.
    exchange::SdSections sections{(data[1] & 1) != 0, (data[1] & 2) != 0,
                                  (data[1] & 0x0C) == 0x0C, (data[1] & 0x10) != 0};
    const base::SdFamily family = (data[1] & 0x20) ? base::SdFamily::KBX : base::SdFamily::KA;
    {
        const exchange::SdLayout& layout = exchange::LayoutOf(family);
        // The input lands in every section (devices, phrases, logic, names),
        // so short inputs reach them all; the card is cut short now and then.
        std::vector<std::uint8_t> card(layout.fileSize, 0);
        std::size_t used = 0;
        auto place = [&](std::size_t offset, std::size_t count) {
            const std::size_t n = std::min(count, input.size() - used);
            std::copy_n(input.begin() + static_cast<std::ptrdiff_t>(used), n,
                        card.begin() + static_cast<std::ptrdiff_t>(offset));
            used += n;
        };
        place(0, 4096);
        place(layout.phraseOffset, 4096);
        place(layout.logicOffset, 8192);
        if (layout.nameOffset != 0) place(layout.nameOffset, 4096);
        if (data[2] >= 0xC0) card.resize(std::size_t{data[3]} * layout.fileSize / 256);
        const int start = data[0] % (layout.maxStartLoop + 2);  // one beyond: must be refused
        const auto plan = exchange::PlanSdImport(family, card, start, sections);
        if (start > layout.maxStartLoop) {
            if (plan.ok()) std::abort();
            return 0;
        }
        if (!plan.ok()) std::abort();
        if (plan->missingBytes != layout.fileSize - std::min(card.size(), layout.fileSize))
            std::abort();
        for (const auto& item : plan->items) {
            switch (item.kind) {
                case exchange::SdImportPlan::Kind::Devices:
                    if (item.bytes.size() != 1792) std::abort();
                    break;
                case exchange::SdImportPlan::Kind::Names:
                case exchange::SdImportPlan::Kind::Phrases:
                    if (item.bytes.size() != 4096 ||
                        std::count(item.bytes.begin(), item.bytes.end(), 0xFF) != 0)
                        std::abort();
                    break;
                case exchange::SdImportPlan::Kind::Logic:
                    if (item.bytes.size() > layout.logicRecordSize ||
                        std::count(item.bytes.begin(), item.bytes.end(), 0xFF) != 0 ||
                        (item.remove && !item.bytes.empty()))
                        std::abort();
                    break;
            }
        }
    }
    return 0;
}

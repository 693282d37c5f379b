// The SD-card import over arbitrary card bytes, both families: whatever the
// card holds, the import plans whole project files of their fixed sizes and
// rule files that stop before any 0xFF byte.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <utility>
#include <vector>

#include "core/exchange/sd_import.h"
#include "core/exchange/sd_pack.h"

using namespace velsend;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const std::span<const std::uint8_t> input(data + 4, size - 4);
    // The logic section (up to 1024 records) costs most; a quarter of the runs
    // take it, each run one family, so that a million runs fit in minutes.
    exchange::SdSections sections{(data[1] & 1) != 0, (data[1] & 2) != 0, (data[1] & 0x0C) == 0x0C,
                                  (data[1] & 0x10) != 0};
    const base::SdFamily family = (data[1] & 0x20) ? base::SdFamily::KBX : base::SdFamily::KA;
    {
        const exchange::SdLayout& layout = exchange::LayoutOf(family);
        // The input lands in every section (devices, phrases, logic, names),
        // so short inputs reach them all; the card is cut short now and then.
        // One zeroed card per family, kept between runs: only what a run
        // placed is cleared again.
        static std::vector<std::uint8_t> cards[2] = {std::vector<std::uint8_t>(0x50000),
                                                     std::vector<std::uint8_t>(0x8000)};
        std::vector<std::uint8_t>& card = cards[family == base::SdFamily::KA ? 0 : 1];
        std::vector<std::pair<std::size_t, std::size_t>> placed;
        std::size_t used = 0;
        auto place = [&](std::size_t offset, std::size_t count) {
            const std::size_t n = std::min(count, input.size() - used);
            std::copy_n(input.begin() + static_cast<std::ptrdiff_t>(used), n,
                        card.begin() + static_cast<std::ptrdiff_t>(offset));
            placed.emplace_back(offset, n);
            used += n;
        };
        place(0, 4096);
        place(layout.phraseOffset, 4096);
        place(layout.logicOffset, 8192);
        if (layout.nameOffset != 0) place(layout.nameOffset, 4096);
        const std::size_t length =
            data[2] >= 0xC0 ? std::size_t{data[3]} * layout.fileSize / 256 : layout.fileSize;
        struct Clear {
            std::vector<std::uint8_t>& card;
            std::vector<std::pair<std::size_t, std::size_t>>& placed;
            ~Clear() {
                for (auto [offset, n] : placed)
                    std::fill_n(card.begin() + static_cast<std::ptrdiff_t>(offset), n, 0);
            }
        } clear{card, placed};
        const std::span<const std::uint8_t> cardBytes(card.data(), length);
        const int start = data[0] % (layout.maxStartLoop + 2);  // one beyond: must be refused
        const auto plan = exchange::PlanSdImport(family, cardBytes, start, sections);
        if (start > layout.maxStartLoop) {
            if (plan.ok()) std::abort();
            return 0;
        }
        if (!plan.ok()) {
            // Refused only for a card that ends before the ticked sections,
            // one of the other family's size, or nothing of this family ticked.
            const bool anything = sections.devices || sections.phrases || sections.logic ||
                                  (sections.names && layout.nameOffset != 0);
            if (length == layout.fileSize && anything) std::abort();
            return 0;
        }
        if (plan->missingBytes != layout.fileSize - length) std::abort();
        for (const auto& item : plan->items) {
            switch (item.kind) {
                case exchange::SdImportPlan::Kind::Devices:
                    if (item.bytes.size() != 1792) std::abort();
                    break;
                case exchange::SdImportPlan::Kind::Names:
                case exchange::SdImportPlan::Kind::Phrases:
                    if (item.bytes.size() != 4096 ||
                        std::memchr(item.bytes.data(), 0xFF, item.bytes.size()) != nullptr)
                        std::abort();
                    break;
                case exchange::SdImportPlan::Kind::Logic:
                    if (item.bytes.size() > layout.logicRecordSize ||
                        std::memchr(item.bytes.data(), 0xFF, item.bytes.size()) != nullptr ||
                        (item.remove && !item.bytes.empty()))
                        std::abort();
                    break;
            }
        }
    }
    return 0;
}

#pragma once

#include <gtest/gtest.h>

#include <string>

#include "base/gbk.h"
#include "core/logic/logic_files.h"
#include "core/phrases/phrase_library.h"
#include "core/store/device_store.h"

namespace velsend::test {

// The largest project the files can hold, for benchmarks: 256 loops of 256
// installed devices (detectors and modules alternating) with names, 1 000
// logic rules, 256 phrases. Use with ASSERT_NO_FATAL_FAILURE.
inline void WriteFullProject(const store::ProjectDir& dir) {
    const std::string name = base::Utf8ToGbk("Ａ座负一层配电").value();
    for (int loop = 0; loop < 256; ++loop) {
        store::DeviceFile devices{};
        store::ChineseNameFile names{};
        for (int a = 0; a < 256; ++a) {
            const bool module = a % 2 == 1;
            devices[static_cast<std::size_t>(a)] = {
                static_cast<std::uint8_t>((module ? 0xC0 : 0x80) | (a & 0x0F)),
                static_cast<std::uint8_t>(module ? 0x85 : 0),
                0,
                static_cast<std::uint8_t>(a),
                static_cast<std::uint8_t>(loop),
                3,
                4};
            names[static_cast<std::size_t>(a)] = store::MakeName(name);
        }
        ASSERT_TRUE(store::WriteDeviceFile(dir, loop, devices));
        ASSERT_TRUE(store::WriteChineseNameFile(dir, loop, names));
    }
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(
            logic::WriteLogicRule(dir, i, "T" + std::to_string(i % 100 + 1000) + "=M2002=M2003"));
    phrases::PhraseImage image{};
    for (int i = 0; i < 256; ++i)
        phrases::SetPhrase(image, i, base::Utf8ToGbk("大厅" + std::to_string(i)).value());
    ASSERT_TRUE(phrases::WritePhraseLibrary(dir, image));
}

}  // namespace velsend::test

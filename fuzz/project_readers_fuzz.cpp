// The name, phrase, node, info and logic file readers over arbitrary bytes,
// through what a user sees of them (`show`, `show logic`): the first byte
// picks the file and the model, the rest is its content. Whatever the file
// holds, reading it gives fixed-size data and printing it escapes every
// control character.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "base/file_write.h"
#include "cli/cli.h"
#include "cli/show.h"
#include "core/logic/logic_files.h"
#include "core/store/project_files.h"

namespace fs = std::filesystem;
using namespace velsend;

namespace {

// No byte below 0x20 but the table's own line ends and tabs may reach the terminal.
void CheckPrintable(const std::string& text) {
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if ((byte < 0x20 && byte != '\n' && byte != '\t') || byte == 0x7F) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fs::path dir = [] {
        char pattern[] = "/dev/shm/velsend-fuzz-XXXXXX";  // tmpfs: fsync costs nothing
        return fs::path(::mkdtemp(pattern));
    }();
    if (size == 0) return 0;
    const store::ProjectDir project(dir);
    const int pick = data[0] % 7;
    const int model = 1 + (data[0] / 7) % 6;
    const std::span<const std::uint8_t> content(data + 1, size - 1);

    static const store::ProjectFile kFiles[] = {
        store::ProjectFile::ChineseNames, store::ProjectFile::Phrases, store::ProjectFile::Node1,
        store::ProjectFile::Node2,        store::ProjectFile::Info,    store::ProjectFile::Logic,
        store::ProjectFile::DeviceLogic};
    const fs::path file = project.PathOf(kFiles[pick], pick == 5 ? 7 : 0);
    if (!base::WriteWholeFile(file, content)) std::abort();

    std::ostringstream out, err;
    static const std::vector<std::string> kShow[] = {
        {"names", "0"}, {"phrases"}, {"nodes"}, {"nodes"}, {"info"}, {}, {}};
    if (!kShow[pick].empty()) {
        const int status = cli::ShowProjectData(project, model, kShow[pick], out, err);
        if (status != 0 && status != 1) std::abort();
        CheckPrintable(out.str());
    }
    if (pick == 5) {
        const std::string rule = logic::ReadLogicRule(project, 7);
        if (rule.size() > 128) std::abort();
        CheckPrintable(cli::EscapeControls(rule));
    }
    if (pick == 6) {
        for (int address : {0, 1, 255}) {
            const std::string text = logic::ReadDeviceLogic(project, 0, address);
            if (text.size() > 128) std::abort();
        }
    }
    fs::remove(file);
    return 0;
}

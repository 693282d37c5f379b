// The command-line parser over arbitrary argument lists (the input split at
// NUL bytes): it never crashes, accepts only numbers made of plain digits in
// range, and a parse it accepts names a command or asks for help.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli.h"

using namespace velsend;

namespace {

bool Digits(const std::string& text) {
    if (text.empty()) return false;
    for (const char ch : text)
        if (ch < '0' || ch > '9') return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            args.emplace_back();
        else
            args.back() += static_cast<char>(data[i]);
    }
    const cli::ParseResult parsed = cli::ParseCommandLine(args);
    if (parsed.ok) {
        const cli::CliOptions& o = parsed.options;
        if (o.command.empty() && !o.help) std::abort();
        if (o.model < 1 || o.model > 6) std::abort();
        if (o.baud != 115200 && o.baud != 19200) std::abort();
        if (o.pace && (*o.pace < 0 || *o.pace > 50)) std::abort();
        for (const auto& range : {o.loops, o.addresses, o.phrases, o.logic})
            if (range && (range->first < 0 || range->second < 0 || range->second > 1023))
                std::abort();
    } else if (parsed.error.empty()) {
        std::abort();
    }
    // The one number parser: what it takes is plain digits within range.
    for (const std::string& a : args) {
        int n = -1;
        if (cli::ParseNumber(a, 0, 1023, n) && (!Digits(a) || n < 0 || n > 1023)) std::abort();
        for (const char ch : cli::EscapeControls(a)) {
            const auto byte = static_cast<unsigned char>(ch);
            if (byte < 0x20 || byte == 0x7F) std::abort();
        }
    }
    return 0;
}

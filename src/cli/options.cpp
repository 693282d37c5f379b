#include <algorithm>
#include <charconv>

#include "base/controller_model.h"
#include "base/field_check.h"
#include "base/platform/system.h"
#include "cli/commands.h"

namespace velsend::cli {

bool ParseNumber(std::string_view text, int min, int max, int& out) {
    if (text.empty() || text.size() > 9) return false;
    for (const char ch : text)
        if (ch < '0' || ch > '9') return false;
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    if (value < min || value > max) return false;
    out = value;
    return true;
}

// "A-B" with both ends in 0..max.
bool ParseRange(std::string_view text, int max, std::pair<int, int>& out) {
    const std::size_t dash = text.find('-');
    if (dash == std::string_view::npos) return false;
    int a = 0, b = 0;
    if (!ParseNumber(text.substr(0, dash), 0, max, a) ||
        !ParseNumber(text.substr(dash + 1), 0, max, b))
        return false;
    out = {a, b};
    return true;
}

// A usage error: names the argument, shows what was given, exits 2.
int UsageError(std::ostream& err, std::string_view where, std::string_view what) {
    err << "velsend-cli: " << where << ": " << what << "\n";
    return kExitUsage;
}

// "--name value" pairs after a command; false (with a message) for anything else.
bool ParsePairs(Context& c, std::size_t from, std::initializer_list<std::string_view> names,
                std::map<std::string, std::string>& out) {
    const std::vector<std::string>& args = c.options.args;
    for (std::size_t i = from; i < args.size(); i += 2) {
        const bool known = std::find(names.begin(), names.end(), args[i]) != names.end();
        if (!known || i + 1 >= args.size()) {
            c.streams.err << "velsend-cli: " << c.options.command << ": unexpected " << args[i]
                          << " (see --help)\n";
            return false;
        }
        out[args[i]] = args[i + 1];
    }
    return true;
}

// A whole number in min..max for option `name`, with the range message.
bool ParseBounded(Context& c, const std::map<std::string, std::string>& pairs,
                  const std::string& name, int min, int max, int& out) {
    const auto it = pairs.find(name);
    if (it == pairs.end()) {
        c.streams.err << "velsend-cli: " << c.options.command << ": " << name << " is required\n";
        return false;
    }
    if (!ParseNumber(it->second, min, max, out)) {
        c.streams.err << "velsend-cli: " << c.options.command << ": " << name << ": "
                      << base::RangeMessage(min, max) << "\n";
        return false;
    }
    return true;
}

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
    ParseResult r;
    auto value = [&](std::size_t& i, std::string_view name) -> const std::string* {
        if (i + 1 >= args.size()) {
            r.error = std::string(name) + " needs a value";
            return nullptr;
        }
        return &args[++i];
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!r.options.command.empty()) {
            r.options.args.push_back(a);
        } else if (a == "-h" || a == "--help") {
            r.options.help = true;
        } else if (a == "--yes") {
            r.options.yes = true;
        } else if (a == "--no-backup") {
            r.options.noBackup = true;
        } else if (a == "--no-verify") {
            r.options.noVerify = true;
        } else if (a == "--backup-first") {
            r.options.backupFirst = true;
        } else if (a == "--dir") {
            const std::string* v = value(i, a);
            if (!v) return r;
            r.options.dir = platform::PathFromUtf8(*v);
        } else if (a == "--trace") {
            const std::string* v = value(i, a);
            if (!v) return r;
            r.options.trace = platform::PathFromUtf8(*v);
        } else if (a == "--port") {
            const std::string* v = value(i, a);
            if (!v) return r;
            r.options.port = *v;
        } else if (a == "--model") {
            const std::string* v = value(i, a);
            if (!v) return r;
            if (!ParseNumber(*v, 1, 6, r.options.model) || !base::IsValidModel(r.options.model)) {
                r.error = "--model takes 1..6 (got '" + *v + "')";
                return r;
            }
        } else if (a == "--baud") {
            const std::string* v = value(i, a);
            if (!v) return r;
            if (!ParseNumber(*v, 0, 999999, r.options.baud) ||
                (r.options.baud != 115200 && r.options.baud != 19200)) {
                r.error = "--baud takes 115200 or 19200 (got '" + *v + "')";
                return r;
            }
        } else if (a == "--loops" || a == "--addresses" || a == "--phrases" || a == "--logic") {
            const std::string* v = value(i, a);
            if (!v) return r;
            const int max = a == "--logic" ? 1023 : 255;
            std::pair<int, int> range;
            if (!ParseRange(*v, max, range)) {
                r.error =
                    a + " takes A-B with both in 0.." + std::to_string(max) + " (got '" + *v + "')";
                return r;
            }
            auto& target = a == "--loops"       ? r.options.loops
                           : a == "--addresses" ? r.options.addresses
                           : a == "--phrases"   ? r.options.phrases
                                                : r.options.logic;
            target = range;
        } else if (a == "--pace") {
            const std::string* v = value(i, a);
            if (!v) return r;
            int pace = 0;
            if (!ParseNumber(*v, 0, 50, pace)) {
                r.error = "--pace takes 0..50 (got '" + *v + "')";
                return r;
            }
            r.options.pace = pace;
        } else if (!a.empty() && a[0] == '-') {
            r.error = "unknown option " + a;
            return r;
        } else {
            r.options.command = a;
        }
    }
    if (r.options.command.empty() && !r.options.help) {
        r.error = "no command given";
        return r;
    }
    r.ok = true;
    return r;
}

}  // namespace velsend::cli

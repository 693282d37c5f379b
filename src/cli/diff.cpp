#include "cli/diff.h"

#include <cstdio>
#include <filesystem>
#include <ostream>

#include "base/platform/system.h"
#include "base/project_lock.h"
#include "cli/cli.h"
#include "core/session/project_access.h"

namespace velsend::cli {
namespace {

constexpr int kExitSame = 0;
constexpr int kExitDifferent = 1;

bool IsFolder(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(platform::PathFromUtf8(path), ec);
}

}  // namespace

std::string Json(std::string_view text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (b < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", b);
            out += buf;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

int DiffCommand(const std::vector<std::string>& args, int controllerModel, std::ostream& out,
                std::ostream& err) {
    std::vector<std::string> dirs;
    bool json = false;
    for (const std::string& arg : args) {
        if (arg == "--json")
            json = true;
        else
            dirs.push_back(arg);
    }
    if (dirs.size() != 2) {
        err << "velsend-cli: diff DIR_A DIR_B [--json]\n";
        return kExitUsage;
    }
    for (const std::string& dir : dirs) {
        if (!IsFolder(dir)) {
            err << "velsend-cli: diff: 不是工程文件夹: " << dir << "\n";
            return kExitUsage;
        }
    }
    // A file that cannot be read is no difference to report: exit 2, no lines.
    // Each folder is read as one whole state (held until the end).
    std::vector<base::ProjectLock> locks;
    std::vector<store::ProjectDir> projects;
    for (const std::string& dir : dirs) {
        const store::ProjectDir project(platform::PathFromUtf8(dir));
        if (const base::Result<> opened = session::OpenToRead(project); !opened) {
            err << "velsend-cli: diff: " << dir << ": " << opened.error().Full() << "\n";
            return kExitUsage;
        }
        auto shared =
            base::ProjectLock::AcquireShared(project.Root(), base::ProjectLock::DefaultWait());
        if (!shared) {
            err << "velsend-cli: diff: " << dir << ": " << shared.error().userText << "\n";
            return kExitUsage;
        }
        locks.push_back(std::move(*shared));
        projects.push_back(project);
    }
    const auto differences = CompareProjects(projects[0], projects[1], controllerModel);
    if (json) {
        out << "[";
        for (std::size_t i = 0; i < differences.size(); ++i) {
            const ProjectDifference& d = differences[i];
            out << (i ? ",\n " : "") << "{\"kind\":" << Json(d.kind);
            if (d.loop >= 0) out << ",\"loop\":" << d.loop;
            if (d.number >= 0) out << ",\"number\":" << d.number;
            out << ",\"text\":" << Json(d.text) << "}";
        }
        out << "]\n";
    } else {
        for (const ProjectDifference& d : differences) out << d.text << "\n";
    }
    return differences.empty() ? kExitSame : kExitDifferent;
}

}  // namespace velsend::cli

#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>

#include "base/platform/stop_requests.h"
#include "base/user_prompt.h"
#include "cli/cli.h"
#include "core/burner/transfer_engine.h"

namespace velsend::cli {

// For the whole run: a file-size limit fails a write with "File too large"
// instead of killing the process, and SIGINT, SIGTERM or SIGHUP outside a
// transfer removes the command's temporary files and exits with 130 (a commit
// under way is finished first).
void InstallProcessSignals();

// Signals that stop a transfer or backup between blocks, as the GUI's cancel
// does, so the port is closed properly and no temporary file is left.
class StopSignals {
  public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    const std::atomic<bool>* flag() const;
    // The name of the signal that stopped the run ("SIGTERM").
    static std::string Name();

  private:
    platform::StopRequestHandler handler_;
};

// Messages go to standard error; questions are answered by --yes, by the user
// on a terminal, or with No.
class TerminalPrompt : public base::UserPrompt {
  public:
    TerminalPrompt(const CliOptions& options, CliStreams streams)
        : yes_(options.yes), streams_(streams) {}

    void Inform(const std::string& text, const std::string&) override {
        streams_.err << text << "\n";
    }
    bool AskYesNo(const std::string& text, const std::string&) override {
        streams_.err << text;
        if (yes_) {
            streams_.err << " 是 (--yes)\n";
            return true;
        }
        if (!streams_.interactive) {
            streams_.err << " 否 (没有 --yes)\n";
            return false;
        }
        streams_.err << " [y/N] " << std::flush;
        std::string answer;
        std::getline(streams_.in, answer);
        return answer == "y" || answer == "Y" || answer == "yes" || answer == "是";
    }

  private:
    bool yes_;
    CliStreams streams_;
};

// Progress on standard error: a bar on a terminal, otherwise a line for each
// new status text and at most two position lines a second (the bar of a
// transfer runs from 0 to full once per block).
class ProgressPrinter : public burner::TransferObserver {
  public:
    explicit ProgressPrinter(CliStreams streams) : streams_(streams) { stages_.Start(Seconds()); }
    ~ProgressPrinter() override { EndBar(); }

    void SetRange(int upper) override {
        upper_ = upper > 0 ? upper : 1;
        position_ = 0;
    }
    void SetPosition(int position) override {
        position_ = std::clamp(position, 0, upper_);
        Show();
    }
    void SetStatus(const std::string& text) override {
        status_ = text;
        if (!streams_.errTerminal) {
            // Backup and restore count percents in the status text.
            const bool percent = !text.empty() && text.back() == '%';
            if (percent && !Due() && text != "100%") return;
            streams_.err << text << "\n";
            return;
        }
        Show();
    }
    // On a terminal the bar also shows the loop or rules, the overall share
    // and the time left.
    void SetStage(const burner::TransferStage& stage) override { stages_.Enter(stage); }
    void PortNotOpened(const burner::OpenResult& result) override {
        EndBar();
        streams_.err << result.message << "\n";
    }
    void Warn(const std::string& text) override {
        EndBar();
        streams_.err << "velsend-cli: 警告：" << text << "\n";
    }
    void EndBar() {
        if (barShown_) streams_.err << "\n" << std::flush;
        barShown_ = false;
    }

  private:
    static double Seconds() {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    bool Due() {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastLine_ < std::chrono::milliseconds(500)) return false;
        lastLine_ = now;
        return true;
    }
    void Show() {
        const int percent = position_ * 100 / upper_;
        if (!streams_.errTerminal) {
            if (!Due()) return;
            streams_.err << position_ << "/" << upper_ << "\n";
            return;
        }
        constexpr int kWidth = 30;
        const int filled = position_ * kWidth / upper_;
        streams_.err << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
                     << std::string(static_cast<std::size_t>(kWidth - filled), ' ') << "] ";
        char pct[8];
        std::snprintf(pct, sizeof pct, "%3d%%", percent);
        streams_.err << pct << " " << status_;
        if (stages_.HasStage()) streams_.err << "  " << stages_.Line(position_, upper_, Seconds());
        streams_.err << "\033[K" << std::flush;
        barShown_ = true;
    }

    CliStreams streams_;
    int upper_ = 1;
    int position_ = 0;
    std::chrono::steady_clock::time_point lastLine_{};
    std::string status_;
    bool barShown_ = false;
    burner::StageTracker stages_;
};

}  // namespace velsend::cli

#include "core/burner/serial_trace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <regex>

#include "cli_run.h"
#include "file_size_limit.h"
#include "sim_process.h"
#include "temp_dir.h"

namespace velsend::burner {
namespace {

using test::Cli;
using test::CliRun;

struct TraceLines {
    std::vector<int> tx, rx;
    std::vector<std::string> malformed;
};

// The trace read back as a person would: one byte per line, stamped.
TraceLines ReadTrace(const std::filesystem::path& file) {
    static const std::regex line(
        R"((\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{6}) (tx|rx) ([0-9A-F]{2}))");
    TraceLines out;
    std::ifstream in(file);
    std::string text;
    std::smatch m;
    while (std::getline(in, text)) {
        if (!std::regex_match(text, m, line)) {
            out.malformed.push_back(text);
            continue;
        }
        (m[2] == "tx" ? out.tx : out.rx).push_back(std::stoi(m[3], nullptr, 16));
    }
    return out;
}

// The simulator logs on its own clock: wait until it has logged both sides.
void WaitForSim(const test::SimProcess& sim, const TraceLines& trace) {
    for (int i = 0; i < 300; ++i) {
        if (sim.Received().size() >= trace.tx.size() && sim.Sent().size() >= trace.rx.size())
            return;
        ::usleep(10000);
    }
}

TEST(SerialTrace, MirrorsTheSimulatorsLogForBothPortKinds) {
    test::TempDir dir;
    const std::filesystem::path trace = dir / "trace.log";
    test::SimProcess sim({"--model", "3"}, dir / "sim.log");
    ASSERT_FALSE(sim.path().empty());

    // A transfer (handshake and records), then a backup: both port classes.
    CliRun r = Cli({"--dir", dir.path().string(), "--port", sim.path(), "--model", "3", "--pace",
                    "0", "--loops", "0-0", "--trace", trace.string(), "send", "devices"});
    ASSERT_EQ(r.status, cli::kExitOk) << r.err;
    const TraceLines first = ReadTrace(trace);
    EXPECT_TRUE(first.malformed.empty()) << first.malformed.front();
    EXPECT_GT(first.tx.size(), 256u);
    EXPECT_FALSE(first.rx.empty());

    r = Cli({"--port", sim.path(), "--model", "3", "--trace", trace.string(), "backup",
             (dir / "chip.bin").string()});
    ASSERT_EQ(r.status, cli::kExitOk) << r.err;
    const TraceLines both = ReadTrace(trace);
    EXPECT_TRUE(both.malformed.empty());
    // Appended, not replaced: the first run's bytes come first.
    ASSERT_GT(both.rx.size(), first.rx.size() + 262144);
    EXPECT_TRUE(std::equal(first.tx.begin(), first.tx.end(), both.tx.begin()));

    WaitForSim(sim, both);
    EXPECT_EQ(both.tx, sim.Received());
    EXPECT_EQ(both.rx, sim.Sent());
    EXPECT_FALSE(SerialTrace::Process().Enabled());
}

TEST(SerialTrace, NothingIsWrittenUntilTheConnectionCloses) {
    test::TempDir dir;
    SerialTrace trace;
    ASSERT_TRUE(trace.Start(dir / "t.log").ok());
    const std::uint8_t sent[] = {0x10, 0x02};
    const std::uint8_t got[] = {0xAA};
    trace.Note(SerialTrace::Direction::Sent, sent, 2);
    trace.Note(SerialTrace::Direction::Received, got, 1);
    EXPECT_EQ(std::filesystem::file_size(dir / "t.log"), 0u);
    ASSERT_TRUE(trace.Flush().ok());
    TraceLines lines = ReadTrace(dir / "t.log");
    EXPECT_EQ(lines.tx, (std::vector<int>{0x10, 0x02}));
    EXPECT_EQ(lines.rx, (std::vector<int>{0xAA}));
    // Stopped: nothing more is noted.
    ASSERT_TRUE(trace.Stop().ok());
    trace.Note(SerialTrace::Direction::Sent, sent, 2);
    ASSERT_TRUE(trace.Flush().ok());
    EXPECT_EQ(ReadTrace(dir / "t.log").tx.size(), 2u);
}

// A trace that fills the disk (here: the file-size limit) is a warning with
// the reason; the transfer itself still succeeds.
TEST(SerialTrace, ATraceThatCannotBeWrittenIsAWarning) {
    test::TempDir dir;
    test::SimProcess sim({"--model", "3"}, dir / "sim.log");
    ASSERT_FALSE(sim.path().empty());
    CliRun r;
    {
        test::FileSizeLimit limit(1000);
        r = Cli({"--dir", dir.path().string(), "--port", sim.path(), "--model", "3", "--pace", "0",
                 "--loops", "0-0", "--trace", (dir / "trace.log").string(), "send", "devices"});
    }
    EXPECT_EQ(r.status, cli::kExitOk) << r.err;
    EXPECT_NE(r.err.find("无法写入串口通信记录文件"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
}

TEST(SerialTrace, RefusesWhatIsNoPlainFile) {
    test::TempDir dir;
    SerialTrace trace;
    EXPECT_FALSE(trace.Start(dir.path()).ok());
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    const base::Result<> fifo = trace.Start(dir / "fifo");
    EXPECT_FALSE(fifo.ok());
    EXPECT_FALSE(trace.Enabled());
    const CliRun r = Cli(
        {"--dir", dir.path().string(), "--trace", (dir / "no" / "such").string(), "select-model"});
    EXPECT_EQ(r.status, cli::kExitFailed);
    EXPECT_NE(r.err.find("--trace"), std::string::npos);
}

}  // namespace
}  // namespace velsend::burner

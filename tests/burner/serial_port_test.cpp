#include "core/burner/serial_port.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/burner/handshake.h"
#include "pty_pair.h"
#include "temp_dir.h"

namespace velsend::burner {
namespace {

using test::PtyPair;

// Waits until `count` bytes sit in the port's input queue.
bool QueueHolds(BurnerPort& port, std::uint32_t count) {
    for (int tries = 0; tries < 1000; ++tries) {
        ComStat status;
        if (!port.QueryStatus(status)) return false;
        if (status.cbInQue >= count) return status.cbInQue == count;
        port.WaitForInput(10);
    }
    return false;
}

class SerialPortTest : public ::testing::Test {
  protected:
    PortAddress Address() const { return {1, pty.path()}; }
    void OpenConfigured(BurnerPort& port) {
        ASSERT_TRUE(OpenBurnerConnection(port, Address(), 115200).ok);
    }
    PtyPair pty;
};

TEST_F(SerialPortTest, BytesArriveInTheOrderWritten) {
    BurnerPort port;
    OpenConfigured(port);
    for (std::uint8_t b : {0x70, 0x03, 0x00, 0xFF}) EXPECT_TRUE(port.WriteByte(b));
    const std::uint8_t block[] = {0x88, 1, 2, 3, 0x99};
    EXPECT_TRUE(port.Write(block, sizeof block));
    EXPECT_EQ(pty.Receive(9),
              (std::vector<std::uint8_t>{0x70, 0x03, 0x00, 0xFF, 0x88, 1, 2, 3, 0x99}));
}

TEST_F(SerialPortTest, ConfigureThrowsAwayWhatCameBefore) {
    BurnerPort port;
    ASSERT_TRUE(port.Open(Address()).ok);
    pty.Send({0x66, 0x66});
    ASSERT_TRUE(QueueHolds(port, 2));
    ASSERT_TRUE(port.SetTimeouts());
    ASSERT_TRUE(port.Configure(115200, NOPARITY, 8, ONESTOPBIT));
    ComStat status;
    ASSERT_TRUE(port.QueryStatus(status));
    EXPECT_EQ(status.cbInQue, 0u);

    pty.Send({0x10});
    EXPECT_EQ(WaitBurnerByte(port), 0x10);
}

TEST_F(SerialPortTest, QueryStatusCountsWaitingBytes) {
    BurnerPort port;
    OpenConfigured(port);
    pty.Send({1, 2, 3});
    EXPECT_TRUE(QueueHolds(port, 3));
    std::uint8_t byte = 0;
    EXPECT_TRUE(port.Read(&byte, 1));
    EXPECT_EQ(byte, 1);
}

// Outcomes only: how long the waits last is the benchmark's business.
TEST_F(SerialPortTest, WaitBurnerByteGivesUpOnASilentLineAndCatchesAByteSentDuringTheWait) {
    BurnerPort port;
    OpenConfigured(port);
    EXPECT_EQ(WaitBurnerByte(port), kNoAnswer);

    // A byte sent while the program waits is caught, and only that byte.
    std::thread burner([this] { pty.Send({0x66}); });
    const std::uint8_t reply = WaitBurnerByte(port);
    burner.join();
    EXPECT_EQ(reply, 0x66);
    EXPECT_EQ(WaitBurnerByte(port), kNoAnswer);
}

TEST_F(SerialPortTest, ClosedPortNeitherSendsNorHears) {
    BurnerPort port;
    EXPECT_FALSE(port.WriteByte(0x10));
    EXPECT_EQ(WaitBurnerByte(port), kNoAnswer);
    port.Close();
    port.Close();  // twice does no harm
    OpenConfigured(port);
    port.Close();
    port.Close();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.WriteByte(0x10));
}

TEST_F(SerialPortTest, SecondOpenOfTheSamePortIsRefusedAsBusy) {
    BurnerPort first;
    OpenConfigured(first);
    BurnerPort second;
    const OpenResult r = second.Open(Address());
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failure, OpenFailure::Busy);
    EXPECT_NE(r.message.find("没有发现 COM1 串口"), std::string::npos);
    EXPECT_NE(r.message.find(pty.path()), std::string::npos);
    EXPECT_NE(r.message.find("另一个程序"), std::string::npos);

    ChipCopyPort backup;
    EXPECT_FALSE(backup.Open(Address()).ok);

    // Once the first lets go, the port can be had again.
    first.Close();
    EXPECT_TRUE(second.Open(Address()).ok);
}

// The lock file other serial programs honour: held while open and over a
// run's reopenings, refusing a live holder, replacing a dead one's.
TEST_F(SerialPortTest, LockFileReservesThePortAcrossReopens) {
    test::TempDir locks;
    ASSERT_EQ(::setenv("VELSEND_LOCK_DIR", locks.path().c_str(), 1), 0);
    const std::filesystem::path file = locks / PortLockName(pty.path());
    auto content = [&] {
        std::ifstream in(file);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    };
    char mine[16];
    std::snprintf(mine, sizeof mine, "%10d\n", static_cast<int>(::getpid()));

    BurnerPort port;
    {
        const PortReservation run = PortReservation::Take(pty.path());
        EXPECT_EQ(run.state(), PortReservation::State::Held);
        OpenConfigured(port);
        port.Close();
        EXPECT_EQ(content(), mine) << "the run keeps the lock between its opens";
        OpenConfigured(port);
        port.Close();
    }
    EXPECT_FALSE(std::filesystem::exists(file));

    // A live program's lock refuses the open; a dead one's is taken over.
    char other[16];
    std::snprintf(other, sizeof other, "%10d\n", static_cast<int>(::getppid()));
    std::ofstream(file) << other;
    OpenResult r = port.Open(Address());
    EXPECT_EQ(r.failure, OpenFailure::Busy);
    EXPECT_NE(r.message.find(std::to_string(::getppid())), std::string::npos) << r.message;
    EXPECT_EQ(content(), other);
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
    std::ofstream(file, std::ios::trunc) << gone << "\n";
    EXPECT_TRUE(port.Open(Address()).ok);
    EXPECT_EQ(content(), mine);
    port.Close();

    // No lock folder to write in: the exclusive open still works, and the
    // reservation says why there is no lock.
    ASSERT_EQ(::setenv("VELSEND_LOCK_DIR", (locks / "missing").c_str(), 1), 0);
    const PortReservation unlocked = PortReservation::Take(pty.path());
    EXPECT_EQ(unlocked.state(), PortReservation::State::Unlocked);
    EXPECT_NE(unlocked.Note().find((locks / "missing").string()), std::string::npos);
    EXPECT_TRUE(port.Open(Address()).ok);
    ::unsetenv("VELSEND_LOCK_DIR");
}

TEST_F(SerialPortTest, OpenFailuresNameThePortAndThePath) {
    BurnerPort port;
    OpenResult r = port.Open({3, "/dev/velsend-no-such-port"});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failure, OpenFailure::NotFound);
    EXPECT_FALSE(r.caption.has_value());
    EXPECT_EQ(r.message.rfind("没有发现 COM3 串口\n/dev/velsend-no-such-port", 0), 0u) << r.message;

    r = port.Open({10, ""});
    EXPECT_EQ(r.failure, OpenFailure::NoDevice);
    EXPECT_EQ(r.message.rfind("没有发现 COM10 串口", 0), 0u);

    r = port.Open({2, "/dev/null"});
    EXPECT_EQ(r.failure, OpenFailure::NotSerial);

    ChipCopyPort backup;
    r = backup.Open({10, "/dev/velsend-no-such-port"});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.caption.value_or(""), "Open Error");
    EXPECT_EQ(r.message.rfind("Unable to Open the COM10 Serial Port!", 0), 0u);
}

TEST_F(SerialPortTest, MissingPermissionSaysHowToFixIt) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to become an unprivileged user";
    ASSERT_EQ(::chmod(pty.path().c_str(), 0600), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        // As "nobody", the way an engineer outside the dialout group meets the port.
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
        BurnerPort port;
        const OpenResult r = port.Open(Address());
        const bool explained = !r.ok && r.failure == OpenFailure::PermissionDenied &&
                               r.message.rfind("没有发现 COM1 串口\n", 0) == 0 &&
                               r.message.find("dialout") != std::string::npos &&
                               r.message.find("udev") != std::string::npos;
        ::_exit(explained ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(SerialPortTest, SynchronousPortHonoursItsTimeouts) {
    ChipCopyPort port;
    ASSERT_TRUE(port.Open(Address()).ok);
    ASSERT_TRUE(port.SetTimeouts());
    ASSERT_TRUE(port.Configure(19200, NOPARITY, 8, ONESTOPBIT));

    const std::uint8_t out[] = {0x30, 0x01, 0x02};
    EXPECT_EQ(port.Write(out, 3), 3u);
    EXPECT_EQ(pty.Receive(3), (std::vector<std::uint8_t>{0x30, 0x01, 0x02}));

    // Nothing comes: the read ends empty-handed.
    std::uint8_t buffer[20] = {};
    EXPECT_EQ(port.Read(buffer, 20), 0u);

    // Part of a block comes, then the line goes quiet: the read ends with what came.
    pty.Send({7, 8, 9});
    EXPECT_EQ(port.Read(buffer, 20), 3u);
    EXPECT_EQ(buffer[0], 7);
    EXPECT_EQ(buffer[2], 9);

    EXPECT_TRUE(port.Close());
    EXPECT_FALSE(port.Close());
    EXPECT_EQ(port.Read(buffer, 1), 0u);
    EXPECT_EQ(port.Write(out, 1), 0u);
}

TEST_F(SerialPortTest, UnknownSpeedIsRefused) {
    BurnerPort port;
    ASSERT_TRUE(port.Open(Address()).ok);
    EXPECT_FALSE(port.Configure(12345, NOPARITY, 8, ONESTOPBIT));
    EXPECT_TRUE(port.Configure(19200, NOPARITY, 8, ONESTOPBIT));
}

}  // namespace
}  // namespace velsend::burner

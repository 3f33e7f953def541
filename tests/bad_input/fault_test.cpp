// Faults from outside a run, caused as a user or the system causes them:
// a second run on the same table, Ctrl+C or SIGTERM, a full file system, a
// file-size limit. The table never holds part of a line.
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>

#include "bad_input.h"

namespace velunt::testing {
namespace {

const std::string kSectionStart = "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n";
const std::string kSectionEnd = "  0\r\nENDSEC\r\n  0\r\nEOF\r\n";

// TEXT objects numbered from `first`, about 60 bytes each.
std::string textObjects(int first, int count) {
    std::string dxf;
    for (int i = first; i < first + count; ++i)
        dxf += "  0\r\nTEXT\r\n 10\r\n4412345.5\r\n 20\r\n5712345.25\r\n  1\r\nP" +
               std::to_string(i) + "\r\n";
    return dxf;
}

// The table of the objects 0 .. count-1 under kIni.
std::string tableOf(int count) {
    std::string table = "RW;HW;Text;Index\r\n";
    for (int i = 0; i < count; ++i)
        table +=
            "4412345.5;5712345.25;P" + std::to_string(i) + ";" + std::to_string(i + 1) + "\r\n";
    return table;
}

// `part` is the start of `whole` and ends with a whole line.
::testing::AssertionResult WholeLinesOf(const std::string& part, const std::string& whole) {
    if (!whole.starts_with(part))
        return ::testing::AssertionFailure()
               << "not the start of the table: " << SameBytes(part, whole).message();
    if (!part.empty() && !part.ends_with("\r\n"))
        return ::testing::AssertionFailure()
               << "ends in part of a line: "
               << ::testing::PrintToString(
                      part.substr(part.size() - std::min<size_t>(part.size(), 30)));
    return ::testing::AssertionSuccess();
}

// velunt-cli as a child process in `folder`, stderr into a file there, with
// SIGINT and SIGTERM handled by default as in a user's terminal.
class CliChild {
public:
    CliChild(const std::filesystem::path& folder, const std::vector<std::string>& args)
        : m_err(folder / ".child-stderr") {
        std::vector<std::string> argv{VELUNT_CLI};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> raw;
        for (std::string& arg : argv) raw.push_back(arg.data());
        raw.push_back(nullptr);
        const std::string dir = folder.string(), err = m_err.string();
        m_pid = ::fork();
        if (m_pid == 0) {
            std::signal(SIGINT, SIG_DFL);
            std::signal(SIGTERM, SIG_DFL);
            std::signal(SIGPIPE, SIG_DFL);
            const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int nullFd = ::open("/dev/null", O_RDWR);
            if (::chdir(dir.c_str()) != 0 || errFd < 0 || nullFd < 0) ::_exit(127);
            ::dup2(nullFd, 0);
            ::dup2(nullFd, 1);
            ::dup2(errFd, 2);
            ::execv(raw[0], raw.data());
            ::_exit(127);
        }
    }
    ~CliChild() {
        if (m_pid > 0 && !m_status) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    bool hasEnded() {
        if (m_status) return true;
        int raw = 0;
        if (::waitpid(m_pid, &raw, WNOHANG) != m_pid) return false;
        m_status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        return true;
    }
    // The exit status, -1 when a signal ended it.
    int wait() {
        int raw = 0;
        if (!m_status && ::waitpid(m_pid, &raw, 0) == m_pid)
            m_status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        return m_status.value_or(-1);
    }
    void signal(int number) const { ::kill(m_pid, number); }
    std::string err() const { return ReadFile(m_err); }

private:
    std::filesystem::path m_err;
    pid_t m_pid = -1;
    std::optional<int> m_status;
};

// A drawing that a test hands to velunt-cli bit by bit through a FIFO, so
// that the run is surely under way while the test acts.
class FifoDrawing {
public:
    explicit FifoDrawing(const std::filesystem::path& path) : m_path(path) {
        EXPECT_EQ(::mkfifo(path.c_str(), 0644), 0) << std::strerror(errno);
    }
    ~FifoDrawing() { close(); }

    // Waits until `reader` has opened the FIFO; false when it ended first.
    bool open(CliChild& reader) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline && !reader.hasEnded()) {
            m_fd = ::open(m_path.c_str(), O_WRONLY | O_NONBLOCK);
            if (m_fd >= 0) return ::fcntl(m_fd, F_SETFL, 0) == 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    // Writes all of `bytes` unless the reader has gone away.
    void write(const std::string& bytes) {
        for (size_t done = 0; done < bytes.size() && m_fd >= 0;) {
            const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return;  // EPIPE: the run is over
            done += static_cast<size_t>(n);
        }
    }
    void close() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }

private:
    std::filesystem::path m_path;
    int m_fd = -1;
};

// A second run on the same table, or a signal, reaching a run under way.
class Interference : public BadInputTest {
protected:
    // A reader that went away must not end the test with SIGPIPE.
    void SetUp() override {
        BadInputTest::SetUp();
        m_previousSigpipe = std::signal(SIGPIPE, SIG_IGN);
    }
    void TearDown() override { std::signal(SIGPIPE, m_previousSigpipe); }

    // Waits until a run has emptied the old table; false after 30 s.
    bool oldTableReplaced() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (output() == kOldOutput && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return output() != kOldOutput;
    }

    void (*m_previousSigpipe)(int) = SIG_DFL;
};

// About 1.5 MB: several blocks of the drawing, so that lines are written.
constexpr int kObjectsBefore = 25000;
constexpr int kObjectsAfter = 50000;

// Two runs on one table: the second stops with 70 before it empties
// anything, the first finishes its table undisturbed.
TEST_F(Interference, ASecondRunOnTheSameTableIsRefused) {
    FifoDrawing fifo(path("lang.dxf"));
    CliChild first(m_dir.path(), {"--dxf", "lang.dxf"});
    ASSERT_TRUE(fifo.open(first)) << first.err();
    fifo.write(kSectionStart + textObjects(0, kObjectsBefore));
    // The first run has the lock once it has emptied the old table.
    ASSERT_TRUE(oldTableReplaced());

    writeDrawing(kSectionStart + textObjects(0, 2) + kSectionEnd);
    const CliResult second = run();
    EXPECT_EQ(second.status, 1);
    EXPECT_EQ(second.err,
              "Fehler: 70: Zugriff verweigert: Die Tabelle out.txt wird gerade von einem anderen "
              "Lauf geschrieben.\n");

    fifo.write(textObjects(kObjectsBefore, kObjectsAfter) + kSectionEnd);
    fifo.close();
    EXPECT_EQ(first.wait(), 0) << first.err();
    EXPECT_TRUE(SameBytes(*output(), tableOf(kObjectsBefore + kObjectsAfter)));
    // Once the first run is over the table is free again.
    EXPECT_EQ(run().status, 0);
    EXPECT_EQ(output(), tableOf(2));
}

// Ctrl+C or SIGTERM in the middle of a run: it stops at the next block,
// writes the lines complete by then, reports 18 and ends with 128 + the
// signal's number.
TEST_F(Interference, ASignalEndsTheRunOnALineBoundary) {
    const std::string whole = tableOf(kObjectsBefore + kObjectsAfter);
    for (const auto& [number, status] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        WriteFile(path("out.txt"), kOldOutput);
        std::filesystem::remove(path("lang.dxf"));
        FifoDrawing fifo(path("lang.dxf"));
        CliChild cli(m_dir.path(), {"--dxf", "lang.dxf"});
        ASSERT_TRUE(fifo.open(cli)) << cli.err();
        fifo.write(kSectionStart + textObjects(0, kObjectsBefore));
        // In the middle of the run: once it has emptied the old table (the
        // reading thread may hold all the bytes written so far in its blocks).
        ASSERT_TRUE(oldTableReplaced()) << number;
        cli.signal(number);
        // More bytes let it reach its next block; then the end of the file.
        fifo.write(textObjects(kObjectsBefore, kObjectsAfter) + kSectionEnd);
        fifo.close();

        EXPECT_EQ(cli.wait(), status) << number;
        EXPECT_EQ(cli.err(), "Fehler: 18: Benutzerunterbrechung\n") << number;
        const std::string part = *output();
        EXPECT_TRUE(WholeLinesOf(part, whole)) << number;
        EXPECT_GT(part.size(), tableOf(1).size()) << number;
        EXPECT_LT(part.size(), whole.size()) << number;
    }
}

// A table that does not fit: the error is 61 and the file holds the whole
// lines that did fit, never a cut-off number.
class FullDisk : public Interference {
protected:
    static constexpr int kObjects = 20000;  // a table of about 700 KB

    void SetUp() override {
        Interference::SetUp();
        writeDrawing(kSectionStart + textObjects(0, kObjects) + kSectionEnd);
    }
    void expectWholeLinesAndError61(const CliResult& r, const std::string& table) {
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err.rfind("Fehler: 61: Datenträger voll: Ausgabedatei", 0), 0u) << r.err;
        EXPECT_TRUE(WholeLinesOf(table, tableOf(kObjects)));
        EXPECT_GT(table.size(), tableOf(1).size());  // what fitted is kept
    }
};

TEST_F(FullDisk, AFullFileSystemKeepsTheWholeLines) {
    const auto folder = path("voll");
    std::filesystem::create_directory(folder);
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
    if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a 64 KB tmpfs here: " << std::strerror(errno);
    const CliResult r = run({"--txt", "voll/out.txt"});
    const std::string table = ReadFile(folder / "out.txt");
    ::umount2(folder.c_str(), MNT_DETACH);
    expectWholeLinesAndError61(r, table);
}

// The same under a file-size limit, as a quota sets one (no root needed),
// with SIGXFSZ as a shell leaves it: the run must not die by the signal
// (status 153) with half a line written.
TEST_F(FullDisk, AFileSizeLimitKeepsTheWholeLines) {
    const CliResult r = runScript("ulimit -f 100 && \"$VELUNT\"");
    expectWholeLinesAndError61(r, *output());
}

}  // namespace
}  // namespace velunt::testing

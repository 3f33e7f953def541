// SystemFault the system causes rather than the input: limits on threads and
// memory, a drawing that changes while it is read, a line longer than the
// memory allowed.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "bad_input.h"
#include "collected_errors.h"
#include "config/config_loader.h"
#include "engine/extraction_run.h"

namespace velunt::testing {
namespace {

const std::string kObject = "  0\r\nTEXT\r\n 10\r\n1.5\r\n 20\r\n2.5\r\n  1\r\nA\r\n";
const std::string kTable = "RW;HW;Text;Index\r\n1.5;2.5;A;1\r\n";

class SystemFault : public BadInputTest {
protected:
    // Runs `script` with bash (for `ulimit -u`) in the test's folder, `$CLI` naming
    // velunt-cli; stderr comes back in `err`.
    CliResult shell(const std::string& script) {
        return runScript("CLI=\"$VELUNT\" bash -c " + ShellQuote(script));
    }

    // True when velunt-cli starts at all under `ulimit -v kb` (a sanitizer
    // build reserves more address space than that).
    bool startsUnder(int kb) {
#ifdef VELUNT_SANITIZED
        // AddressSanitizer maps terabytes of shadow memory at start-up: it
        // never starts under such a limit, and its report would fail the
        // sanitizer stage that runs these tests.
        (void)kb;
        return false;
#endif
        return shell("ulimit -v " + std::to_string(kb) + " && \"$CLI\" --version").status == 0;
    }

    // `count` drawings d0.dxf ... each with one object; their names.
    std::string drawings(int count) {
        std::string names;
        for (int i = 0; i < count; ++i) {
            WriteFile(path("d" + std::to_string(i) + ".dxf"), kObject);
            names += " d" + std::to_string(i) + ".dxf";
        }
        return names;
    }
};

// Under a limit on threads or memory a batch runs with the workers it could
// start; an item whose memory ran out fails with 7, never the whole batch.
TEST_F(SystemFault, BatchAtThreadAndMemoryLimitsDegrades) {
    struct Case {
        const char* what;
        std::string prefix;  // sets the limit for velunt-cli
        int count;
        int jobs;
    };
    std::vector<Case> cases;
    // Root ignores RLIMIT_NPROC: the child runs as a plain user then.
    if (::geteuid() != 0) {
        std::printf("thread limit not tested: needs root to run velunt-cli as a user of its own\n");
    } else if (shell("setpriv --reuid=65534 --regid=65534 --clear-groups true").status != 0) {
        std::printf("thread limit not tested: setpriv cannot run as user 65534\n");
    } else {
        std::filesystem::permissions(m_dir.path(), std::filesystem::perms::all);
        cases.push_back({"ulimit -u 30",
                         "setpriv --reuid=65534 --regid=65534 --clear-groups "
                         "bash -c 'ulimit -u 30 && exec \"$0\" \"$@\"' \"$CLI\"",
                         64, 64});
    }
    if (startsUnder(300000)) {
        cases.push_back({"ulimit -v 300 MB", "ulimit -v 300000 && \"$CLI\"", 150, 150});
    } else {
        std::printf("memory limit not tested: velunt-cli does not start under ulimit -v\n");
    }
    if (cases.empty()) GTEST_SKIP() << "no limit can be set here";

    for (const Case& c : cases) {
        const std::string names = drawings(c.count);
        const CliResult r = shell(c.prefix + " --jobs " + std::to_string(c.jobs) + names);
        ASSERT_TRUE(r.status == 0 || r.status == 1) << c.what << ": " << r.status << r.err;
        // Every message is error 7 for one item; every other table is whole.
        std::istringstream lines(r.err);
        std::set<std::string> failed;
        for (std::string line; std::getline(lines, line);) {
            if (std::regex_match(line, std::regex(R"(\d+ Zeichnungen: .*)"))) continue;  // summary
            std::smatch m;
            ASSERT_TRUE(std::regex_match(
                line, m, std::regex(R"((d\d+\.dxf): Fehler: 7: Nicht genügend .*)")))
                << c.what << ": " << line;
            failed.insert(m[1]);
        }
        EXPECT_EQ(r.status, failed.empty() ? 0 : 1) << c.what;
        EXPECT_LT(failed.size(), static_cast<size_t>(c.count)) << c.what;
        for (int i = 0; i < c.count; ++i) {
            const std::string name = "d" + std::to_string(i);
            if (!failed.count(name + ".dxf")) {
                EXPECT_EQ(output(name + ".txt"), kTable) << c.what << ": " << name;
            }
        }
    }
}

// Changes the drawing once, after its first block was read.
class ChangingObserver : public RunObserver {
public:
    ChangingObserver(std::filesystem::path drawing, bool append)
        : m_drawing(std::move(drawing)), m_append(append) {}
    bool progress(std::uint64_t, std::uint64_t) override {
        if (m_done) return true;
        m_done = true;
        if (m_append) {
            std::ofstream(m_drawing, std::ios::binary | std::ios::app) << kObject;
        } else {
            std::filesystem::resize_file(m_drawing, std::filesystem::file_size(m_drawing) / 3);
        }
        return true;
    }

private:
    std::filesystem::path m_drawing;
    bool m_append;
    bool m_done = false;
};

// A drawing appended to or cut while it is read: error 57, and the table
// holds the whole lines of what was read.
TEST_F(SystemFault, DrawingChangedDuringTheRunIs57) {
    std::string drawing;
    for (int i = 0; i < 2000; ++i) drawing += kObject;  // 70 KB, in 4 KB blocks
    const Configuration config = ConfigLoader(path("velunt.ini"));
    RunSettings settings;
    settings.dxfpath = path("in.dxf");
    settings.txtpath = path("out.txt");
    settings.readBlockSize = 4096;
    settings.readAhead = false;
    settings.separator = InitialSeparator(config.settings);

    writeDrawing(drawing);
    CollectedErrors unchangedErrors;
    ASSERT_TRUE(ExtractionRun(settings, config, unchangedErrors).succeeded);
    const std::string fullTable = *output();

    for (const bool append : {true, false}) {
        writeDrawing(drawing);
        ChangingObserver observer(path("in.dxf"), append);
        CollectedErrors errors;
        EXPECT_FALSE(ExtractionRun(settings, config, errors, &observer).succeeded);
        ASSERT_EQ(errors.errors.size(), 1u);
        EXPECT_EQ(errors.errors[0].number, 57) << append;
        EXPECT_NE(errors.errors[0].description.find("während des Lesens geändert"),
                  std::string::npos)
            << errors.errors[0].description;
        const std::string table = *output();
        if (append) {
            EXPECT_TRUE(SameBytes(table, fullTable + "1.5;2.5;A;2001\r\n"));
        } else {
            // Whole lines; all but the last (the object cut) as in the full
            // table, about a third of them.
            ASSERT_TRUE(table.ends_with("\r\n"));
            const size_t lastLine = table.rfind("\r\n", table.size() - 3) + 2;
            EXPECT_TRUE(fullTable.starts_with(table.substr(0, lastLine)));
            EXPECT_GT(table.size(), fullTable.size() / 4);
            EXPECT_LT(table.size(), fullTable.size() / 2);
        }
    }
}

// A sparse 512 MB line outside every object is passed over in little memory.
TEST_F(SystemFault, LongLineOutsideObjectsRunsInLittleMemory) {
    if (!startsUnder(300000)) GTEST_SKIP() << "velunt-cli does not start under ulimit -v";
    const std::string head = "  0\r\nLINE\r\n  8\r\n";
    const std::uintmax_t lineBytes = std::uintmax_t{512} << 20;
    {
        std::ofstream out(path("in.dxf"), std::ios::binary);
        out << head;
    }
    std::error_code ec;
    std::filesystem::resize_file(path("in.dxf"), head.size() + lineBytes, ec);
    struct stat info {};
    if (ec || ::stat(path("in.dxf").c_str(), &info) != 0 ||
        static_cast<std::uintmax_t>(info.st_blocks) * 512 > lineBytes / 2) {
        std::filesystem::remove(path("in.dxf"));
        GTEST_SKIP() << "the file system holds no sparse files";
    }
    std::ofstream(path("in.dxf"), std::ios::binary | std::ios::app) << "\r\n" + kObject;

    const CliResult r = shell("ulimit -v 300000 && \"$CLI\"");
    std::filesystem::remove(path("in.dxf"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(output(), kTable);
}

}  // namespace
}  // namespace velunt::testing

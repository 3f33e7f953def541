// Long runs in the window: the progress dialog comes up only for a run that
// lasts, "Abbrechen" stops it with error 18 and keeps the lines written so
// far. Time is a fake clock the window's progress reads: an observer between
// the core and the window advances it, so a run lasts as long as the test
// says, however busy the machine.
#include "ui/run_progress.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <stdexcept>

#include "ui/form1.h"
#include "ui_test_support.h"

namespace velunt::ui {
namespace {

using testing::MessageBoxAnswerer;
using testing::ReadFile;
using testing::ScriptedPlatform;
using testing::TempDir;
using testing::WriteFile;

// Milliseconds on the fake clock.
std::int64_t g_fakeMilliseconds = 0;
std::int64_t fakeMilliseconds() { return g_fakeMilliseconds; }

// Forwards to the window's observer after advancing the fake clock by
// `delay`, and looks at what the window shows at each call. From call
// `cancelAt` on, once the dialog is up, it presses "Abbrechen".
class SlowObserver : public RunObserver {
public:
    struct Seen {
        int calls = 0;
        int callsWithDialog = 0;
        bool cancelled = false;
        QString label, button;
        bool isApplicationModal = false;
        bool formIsParent = false;
        Qt::CursorShape formCursor = Qt::BlankCursor;
    };

    SlowObserver(RunObserver& window, const QWidget& form, Seen& seen,
                 std::chrono::milliseconds delay, int cancelAt)
        : m_window(window), m_form(form), m_seen(seen), m_delay(delay), m_cancelAt(cancelAt) {}

    bool progress(std::uint64_t bytesRead, std::uint64_t totalBytes) override {
        ++m_seen.calls;
        m_seen.formCursor = m_form.cursor().shape();
        g_fakeMilliseconds += m_delay.count();
        auto* dialog = m_form.findChild<QProgressDialog*>();
        if (dialog && dialog->isVisible()) {
            ++m_seen.callsWithDialog;
            m_seen.label = dialog->labelText();
            auto* cancel = dialog->findChild<QPushButton*>();
            m_seen.button = cancel ? cancel->text() : QString();
            m_seen.isApplicationModal = dialog->windowModality() == Qt::ApplicationModal &&
                                        QApplication::activeModalWidget() == dialog;
            m_seen.formIsParent = dialog->parentWidget() == &m_form;
            if (m_seen.calls >= m_cancelAt && cancel && !m_seen.cancelled) {
                QTest::mouseClick(cancel, Qt::LeftButton);
                m_seen.cancelled = true;
            }
        }
        return m_window.progress(bytesRead, totalBytes);
    }

private:
    RunObserver& m_window;
    const QWidget& m_form;
    Seen& m_seen;
    std::chrono::milliseconds m_delay;
    int m_cancelAt;
};

// A drawing of about 70 bytes per object. The core reports progress about
// once per MiB read.
std::string bigDrawing(int objects) {
    std::string dxf = "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n";
    for (int i = 0; i < objects; ++i)
        dxf += "  0\r\nTEXT\r\n  8\r\nPunkte\r\n 10\r\n4412345.5\r\n 20\r\n5712345.25\r\n  1\r\nP" +
               std::to_string(i) + "\r\n";
    return dxf + "  0\r\nENDSEC\r\n  0\r\nEOF\r\n";
}

class LongRun : public ::testing::Test {
protected:
    static constexpr int kObjects = 150000;  // about 10 MiB

    LongRun() {
        WriteFile(m_dir / "velunt.ini",
                  "dxfpath=big.dxf\r\ntxtpath=out.txt\r\nmasterkey=TEXT\r\ntrennzeich=;\r\n"
                  "[Spalten]\r\n"
                  " 10|1|RW\r\n 20|2|HW\r\n  1|3|Text\r\n");
        WriteFile(m_dir / "big.dxf", bigDrawing(kObjects));
        QDir::setCurrent(QString::fromStdString(m_dir.path().string()));
        m_form.load("velunt.ini");
        m_form.show();
        RunProgress::useClock(fakeMilliseconds);
    }
    ~LongRun() override {
        RunProgress::useClock(nullptr);
        QDir::setCurrent(m_previous);
    }

    // Runs with `delay` per progress call; returns the boxes that came up.
    std::vector<testing::SeenBox> run(std::chrono::milliseconds delay, int cancelAt = 1000) {
        m_form.setObserverWrapper([&, delay, cancelAt](RunObserver& window) {
            return std::make_unique<SlowObserver>(window, m_form, m_seen, delay, cancelAt);
        });
        MessageBoxAnswerer answerer(&m_platform, &m_form);
        QTest::mouseClick(m_form.Command3, Qt::LeftButton);
        return answerer.boxes;
    }
    std::string output() const { return ReadFile(m_dir / "out.txt"); }

    QString m_previous = QDir::currentPath();
    TempDir m_dir;
    ScriptedPlatform m_platform;
    Form1 m_form{m_platform};
    SlowObserver::Seen m_seen;
};

TEST_F(LongRun, AFastRunShowsNoDialog) {
    // Progress calls that take no time on the clock, however long they take.
    EXPECT_TRUE(run(std::chrono::milliseconds(0)).empty());
    EXPECT_GT(m_seen.calls, 1);
    EXPECT_EQ(m_seen.callsWithDialog, 0);
    EXPECT_EQ(m_form.findChild<QProgressDialog*>(), nullptr);
    EXPECT_EQ(m_platform.beeps, 1);
}

TEST_F(LongRun, ASlowRunShowsAModalDialogAndFinishes) {
    EXPECT_TRUE(run(std::chrono::milliseconds(100)).empty());
    EXPECT_GT(m_seen.callsWithDialog, 0);
    EXPECT_LT(m_seen.callsWithDialog, m_seen.calls);  // not before half a second
    EXPECT_EQ(m_seen.label, "Auslesen …");
    EXPECT_EQ(m_seen.button, "Abbrechen");
    EXPECT_TRUE(m_seen.isApplicationModal);
    EXPECT_TRUE(m_seen.formIsParent);
    EXPECT_EQ(m_seen.formCursor, Qt::WaitCursor);
    // Gone when the run is over; the table is complete.
    EXPECT_EQ(m_form.findChild<QProgressDialog*>(), nullptr);
    EXPECT_EQ(m_form.cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(m_platform.beeps, 1);
    const std::string table = output();
    EXPECT_TRUE(table.ends_with("4412345.5;5712345.25;P149999;150000\r\n"));
}

TEST_F(LongRun, AbbrechenStopsWithError18AndKeepsTheLinesWritten) {
    // The whole table, for comparison.
    ASSERT_TRUE(run(std::chrono::milliseconds(0)).empty());
    const std::string whole = output();

    const auto boxes = run(std::chrono::milliseconds(100), 7);
    ASSERT_TRUE(m_seen.cancelled);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes.front().text, "Fehler: 18\n\nBenutzerunterbrechung");
    EXPECT_EQ(boxes.front().title, "Fehler");
    // The progress dialog was closed before the box came up.
    EXPECT_EQ(m_form.findChild<QProgressDialog*>(), nullptr);

    const std::string part = output();
    EXPECT_GT(part.size(), std::string("RW;HW;Text;Index\r\n").size());
    EXPECT_LT(part.size(), whole.size());
    EXPECT_EQ(whole.substr(0, part.size()), part);  // the lines written, whole
    EXPECT_TRUE(part.ends_with("\r\n"));
    EXPECT_EQ(m_form.cursor().shape(), Qt::ArrowCursor);

    // The window is ready for the next run.
    ASSERT_TRUE(run(std::chrono::milliseconds(0)).empty());
    EXPECT_EQ(output(), whole);
}

// Closing the window during a run is "Abbrechen": the run stops with 18,
// the table keeps the whole lines written, and the window closes after the
// box.
TEST_F(LongRun, ClosingTheWindowStopsTheRunThenCloses) {
    ASSERT_TRUE(run(std::chrono::milliseconds(0)).empty());
    const std::string whole = output();

    class ClosingAtThirdBlock : public RunObserver {
    public:
        ClosingAtThirdBlock(RunObserver& window, QWidget& form) : m_window(window), m_form(form) {}
        bool progress(std::uint64_t bytesRead, std::uint64_t totalBytes) override {
            if (++m_calls == 3) m_form.close();
            return m_window.progress(bytesRead, totalBytes);
        }

    private:
        RunObserver& m_window;
        QWidget& m_form;
        int m_calls = 0;
    };
    m_form.setObserverWrapper(
        [&](RunObserver& window) { return std::make_unique<ClosingAtThirdBlock>(window, m_form); });
    MessageBoxAnswerer answerer(&m_platform, &m_form);
    QTest::mouseClick(m_form.Command3, Qt::LeftButton);
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes.front().text, "Fehler: 18\n\nBenutzerunterbrechung");
    const std::string part = output();
    EXPECT_GT(part.size(), std::string("RW;HW;Text;Index\r\n").size());
    EXPECT_LT(part.size(), whole.size());
    EXPECT_EQ(whole.substr(0, part.size()), part);
    EXPECT_FALSE(m_form.isVisible());
}

// An exception that escapes the core (here from the observer) is reported in
// the error box rather than ending the program.
TEST(RunFailure, AnEscapedExceptionIsReportedNotFatal) {
    class Throwing : public RunObserver {
        bool progress(std::uint64_t, std::uint64_t) override { throw std::runtime_error("kaputt"); }
    };
    TempDir dir;
    WriteFile(dir / "velunt.ini", "masterkey=TEXT\r\n[Spalten]\r\n 10|1|RW\r\n");
    WriteFile(dir / "in.dxf", bigDrawing(30000));  // over a MiB: progress is reported
    ScriptedPlatform platform;
    Form1 form(platform);
    form.load(dir / "velunt.ini");
    form.Label2->setText(QString::fromStdString((dir / "in.dxf").string()));
    form.Label4->setText(QString::fromStdString((dir / "out.txt").string()));
    form.setObserverWrapper([](RunObserver&) { return std::make_unique<Throwing>(); });
    MessageBoxAnswerer answerer(&platform, &form);
    QTest::mouseClick(form.Command3, Qt::LeftButton);
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes.front().text, "Fehler: 51\n\nInterner Fehler: kaputt");
    EXPECT_EQ(platform.beeps, 2);
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);
}

}  // namespace
}  // namespace velunt::ui

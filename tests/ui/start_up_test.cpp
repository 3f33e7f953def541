// Program start: a loaded window that is not yet shown, or, when velunt.ini
// cannot be loaded, the fatal report in a box and on stderr and no window.
#include "ui/start_up.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <cstdio>

#include "ui_test_support.h"

namespace velunt::ui {
namespace {

using testing::MessageBoxAnswerer;
using testing::ScriptedPlatform;
using testing::TempDir;
using testing::WriteFile;

class RecordingReport : public StartUpReport {
public:
    std::vector<QString> messages;
    void fatal(const QString& message) override { messages.push_back(message); }
};

TEST(StartUp, LoadsTheWindowWithoutShowingIt) {
    TempDir dir;
    WriteFile(dir / "velunt.ini", "dxfpath=a.dxf\r\n[Spalten]\r\n 10|1|RW\r\n");
    ScriptedPlatform platform;
    RecordingReport report;
    const auto form = StartUp(dir / "velunt.ini", platform, report);
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(report.messages.empty());
    EXPECT_EQ(form->Label2->text(), "a.dxf");
    EXPECT_FALSE(form->isVisible());
}

TEST(StartUp, AFailureToLoadIsReportedWithNumberAndDescriptionAndNoWindow) {
    struct Case {
        const char* ini;  // nullptr: no file
        const char* message;
    };
    const Case kCases[] = {
        {nullptr, ": Fehler 53: Datei nicht gefunden: velunt.ini „"},
        {"[Spalten]\r\n\r\n 10|1|RW\r\n",
         ": Fehler 5: velunt.ini, Zeile 2: leere Zeile im Block [Spalten]"},
        {"[Spalten]\r\n 10|1e9|RW\r\n",
         ": Fehler 6: Überlauf: velunt.ini, Zeile 2: Spalte 1e9 (erlaubt bis 32767)"},
        {"[Spalten]", ": Fehler 62: Eingabe nach Dateiende: velunt.ini, Zeile 1: nach [Spalten]"},
    };
    for (const Case& c : kCases) {
        TempDir dir;
        if (c.ini) WriteFile(dir / "velunt.ini", c.ini);
        ScriptedPlatform platform;
        RecordingReport report;
        const auto form = StartUp(dir / "velunt.ini", platform, report);
        EXPECT_EQ(form, nullptr) << c.message;
        ASSERT_EQ(report.messages.size(), 1u) << c.message;
        EXPECT_TRUE(report.messages.front().contains(QString::fromUtf8(c.message)))
            << report.messages.front().toStdString();
        EXPECT_TRUE(report.messages.front().contains("velunt.ini"));
    }
}

// The real report: a critical box and the same text on stderr, while no
// window of the program is on screen.
TEST(StartUp, TheFatalReportShowsABoxAndWritesTheSameTextToStderr) {
    TempDir dir;
    std::FILE* err = std::tmpfile();
    ASSERT_NE(err, nullptr);
    StartUpBox report(err);
    bool formWasVisible = false;
    {
        testing::ModalWatcher visibility([&](QWidget*) {
            for (QWidget* top : QApplication::topLevelWidgets())
                if (qobject_cast<Form1*>(top) && top->isVisible()) formWasVisible = true;
        });
        MessageBoxAnswerer answerer;
        ScriptedPlatform platform;
        EXPECT_EQ(StartUp(dir / "velunt.ini", platform, report), nullptr);
        ASSERT_EQ(answerer.boxes.size(), 1u);
        EXPECT_EQ(answerer.boxes.front().icon, QMessageBox::Critical);
        const QString text = answerer.boxes.front().text;
        EXPECT_TRUE(
            text.contains(QString::fromUtf8("velunt.ini: Fehler 53: Datei nicht gefunden: "
                                            "velunt.ini „")))
            << text.toStdString();

        std::rewind(err);
        char line[4096] = {};
        ASSERT_NE(std::fgets(line, sizeof line, err), nullptr);
        EXPECT_EQ(QString::fromLocal8Bit(line), text + "\n");
    }
    std::fclose(err);
    EXPECT_FALSE(formWasVisible);
    EXPECT_EQ(kExitStartUpFailed, 1);
}

}  // namespace
}  // namespace velunt::ui

// A drawing from outside: one local file dropped onto Form1 becomes the
// drawing, anything else is ignored; the table goes beside the drawing, and
// a file already there is replaced only when the user agrees.
#include <gtest/gtest.h>

#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include "ui/form1.h"
#include "ui_test_support.h"

namespace velunt::ui {
namespace {

using testing::ReadFile;
using testing::ScriptedPlatform;
using testing::TempDir;
using testing::WriteFile;

// Only one local file dropped on the window sets the drawing.
TEST(Drop, OneFileSetsLabel2AndAnythingElseIsIgnored) {
    TempDir dir;
    WriteFile(dir / "a.dxf", "x");
    WriteFile(dir / "b.dxf", "x");
    const QString a = QString::fromStdString((dir / "a.dxf").string());
    const QString b = QString::fromStdString((dir / "b.dxf").string());
    struct Case {
        const char* what;
        QList<QUrl> urls;
        QString text;
        bool isTaken;
    };
    const Case kCases[] = {
        {"one file", {QUrl::fromLocalFile(a)}, "", true},
        {"two files", {QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)}, "", false},
        {"a folder", {QUrl::fromLocalFile(QString::fromStdString(dir.path().string()))}, "", false},
        {"a web address", {QUrl("https://example.org/a.dxf")}, "", false},
        {"text", {}, a, false},
    };
    for (const Case& c : kCases) {
        ScriptedPlatform platform;
        Form1 form(platform);
        form.Label2->setText("alt.dxf");
        form.Label4->setText("alt.txt");
        QMimeData mime;
        if (!c.urls.isEmpty()) mime.setUrls(c.urls);
        if (!c.text.isEmpty()) mime.setText(c.text);
        const QPoint at(100, 100);
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&form, &enter);
        EXPECT_EQ(enter.isAccepted(), c.isTaken) << c.what;
        QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&form, &drop);
        EXPECT_EQ(form.Label2->text(), c.isTaken ? QDir::toNativeSeparators(a) : "alt.dxf")
            << c.what;
        EXPECT_EQ(form.Label4->text(),
                  c.isTaken ? QDir::toNativeSeparators(a.chopped(4) + ".txt") : "alt.txt")
            << c.what;
    }
    // Text boxes leave drops to the window, so a path never lands in them.
    ScriptedPlatform platform;
    Form1 form(platform);
    for (QLineEdit* box : {form.Text1, form.Text2, form.Text3, form.Text4})
        EXPECT_FALSE(box->acceptDrops());
}

// The table beside an opened drawing may be something else (a point list
// from the instrument): the first "Auslesen" asks before replacing it, "Nein"
// leaves it alone, and once the window has written it, it asks no more.
TEST(OpenDrawing, AsksBeforeReplacingAFileTheWindowHasNotWritten) {
    struct Case {
        const char* what;
        bool exists;
        std::vector<bool> answers;  // to the questions asked, in order
        size_t questions;           // asked over two clicks on "Auslesen"
        bool isReplaced;
    };
    const Case kCases[] = {
        {"no file there", false, {}, 0, true},
        {"Ja", true, {true}, 1, true},
        {"Nein, then Ja", true, {false, true}, 2, true},
        {"Nein twice", true, {false, false}, 2, false},
    };
    const std::string kPointList = "1 4412345.50 5712345.25 101.3\r\n";
    for (const Case& c : kCases) {
        testing::Workspace workspace;
        ScriptedPlatform platform;
        Form1 form(platform);
        form.load(workspace.path("velunt.ini"));
        if (c.exists) WriteFile(workspace.path("in.txt"), kPointList);
        form.openDrawing(workspace.qpath("in.dxf"));
        EXPECT_EQ(form.Label4->text(), QDir::toNativeSeparators(workspace.qpath("in.txt")));
        platform.confirmations.assign(c.answers.begin(), c.answers.end());
        for (int click = 0; click < 2; ++click) {
            testing::MessageBoxAnswerer answerer;
            QTest::mouseClick(form.Command3, Qt::LeftButton);
            EXPECT_TRUE(answerer.boxes.empty()) << c.what;
        }
        ASSERT_EQ(platform.questions.size(), c.questions) << c.what;
        if (c.questions > 0) {
            EXPECT_EQ(platform.questions.front(),
                      "Die Datei „" + QDir::toNativeSeparators(workspace.qpath("in.txt")) +
                          "“ existiert bereits. Ersetzen?");
        }
        EXPECT_EQ(ReadFile(workspace.path("in.txt")),
                  c.isReplaced ? std::string(testing::Workspace::kTable) : kPointList)
            << c.what;
        // velunt.ini's own table is left alone.
        EXPECT_FALSE(std::filesystem::exists(workspace.path("out.txt"))) << c.what;
    }
}

// "DXF wählen" changes only the drawing; the table stays where it was.
TEST(OpenDrawing, ChoosingADrawingLeavesTheTable) {
    testing::Workspace workspace;
    ScriptedPlatform platform;
    Form1 form(platform);
    form.load(workspace.path("velunt.ini"));
    platform.answers.push_back(workspace.qpath("other.dxf"));
    QTest::mouseClick(form.Command1, Qt::LeftButton);
    EXPECT_EQ(form.Label2->text(), workspace.qpath("other.dxf"));
    EXPECT_EQ(form.Label4->text(), "out.txt");
}

}  // namespace
}  // namespace velunt::ui

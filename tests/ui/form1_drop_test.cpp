// Drag and drop onto Form1: one local file becomes the drawing, anything
// else is ignored.
#include <gtest/gtest.h>

#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>

#include "ui/form1.h"
#include "ui_test_support.h"

namespace velunt::ui {
namespace {

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
    }
    // Text boxes leave drops to the window, so a path never lands in them.
    ScriptedPlatform platform;
    Form1 form(platform);
    for (QLineEdit* box : {form.Text1, form.Text2, form.Text3, form.Text4})
        EXPECT_FALSE(box->acceptDrops());
}

}  // namespace
}  // namespace velunt::ui

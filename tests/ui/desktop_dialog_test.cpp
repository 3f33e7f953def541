// The real file dialog behind DesktopPlatform, answered by a scripted user:
// it opens in the given folder with the second filter chosen, takes a name
// that does not exist yet, saves over an existing file without asking, and
// refuses a folder that does not exist. Its yes-or-no question, too.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>

#include "ui/window_platform.h"
#include "ui_test_support.h"

namespace velunt::ui {
namespace {

using testing::ModalWatcher;
using testing::TempDir;
using testing::WriteFile;

struct SeenDialog {
    QString title, folder, filter, typedName;
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
    int dialogs = 0;
    int warnings = 0;
};

// Types `names` one after another into the dialog's name field and presses
// Enter; an empty name cancels. Warning boxes are answered with OK.
SeenDialog answer(const FileDialogRequest& request, QStringList names, QString& chosen) {
    SeenDialog seen;
    ModalWatcher watcher([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            ++seen.warnings;
            box->accept();
            return;
        }
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (!dialog) return;
        if (seen.dialogs++ == 0) {
            seen.title = dialog->windowTitle();
            seen.folder = dialog->directory().absolutePath();
            seen.filter = dialog->selectedNameFilter();
            seen.mode = dialog->acceptMode();
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            seen.typedName = name ? name->text() : "(no name field)";
        }
        const QString next = names.isEmpty() ? QString() : names.takeFirst();
        if (next.isEmpty()) {
            dialog->reject();
            return;
        }
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        if (!name) {
            dialog->reject();
            return;
        }
        name->setText(next);
        QTest::keyClick(name, Qt::Key_Return);
    });
    DesktopPlatform platform;
    chosen = platform.chooseFile(nullptr, request);
    return seen;
}

FileDialogRequest request(FileDialogRequest::Kind kind, const QString& folder,
                          const QString& name) {
    FileDialogRequest r;
    r.kind = kind;
    r.title = "DXF-Datei wählen";
    r.folder = folder;
    r.proposedName = name;
    r.filters = QStringList{"Alle Dateien (*.*)", "Datenbank (*.dxf)"};
    r.selectedFilter = "Datenbank (*.dxf)";
    return r;
}

TEST(DesktopPlatform, OpenDialogStartsInTheFolderAndAcceptsANewName) {
    TempDir dir;
    const QString folder = QString::fromStdString(dir.path().string());
    QString chosen;
    const SeenDialog seen =
        answer(request(FileDialogRequest::Kind::Open, folder, "alt.dxf"), {"neu.dxf"}, chosen);
    EXPECT_EQ(seen.title, "DXF-Datei wählen");
    EXPECT_EQ(seen.folder, QDir(folder).absolutePath());
    EXPECT_EQ(seen.filter, "Datenbank (*.dxf)");
    EXPECT_EQ(seen.mode, QFileDialog::AcceptOpen);
    EXPECT_EQ(seen.typedName, "alt.dxf");
    EXPECT_EQ(chosen, QDir::toNativeSeparators(folder + "/neu.dxf"));
}

TEST(DesktopPlatform, SaveDialogTakesAnExistingFileWithoutAsking) {
    TempDir dir;
    WriteFile(dir / "alt.txt", "x");
    const QString folder = QString::fromStdString(dir.path().string());
    QString chosen;
    const SeenDialog seen =
        answer(request(FileDialogRequest::Kind::Save, folder, ""), {"alt.txt"}, chosen);
    EXPECT_EQ(seen.mode, QFileDialog::AcceptSave);
    EXPECT_EQ(seen.warnings, 0);
    EXPECT_EQ(chosen, QDir::toNativeSeparators(folder + "/alt.txt"));
}

TEST(DesktopPlatform, AMissingFolderIsRefusedAndCancelReturnsNothing) {
    TempDir dir;
    const QString folder = QString::fromStdString(dir.path().string());
    QString chosen = "unchanged";
    const SeenDialog seen = answer(request(FileDialogRequest::Kind::Open, folder, ""),
                                   {folder + "/fehlt/neu.dxf", ""}, chosen);
    EXPECT_EQ(seen.warnings, 1);
    EXPECT_EQ(seen.dialogs, 2);  // asked again after the warning
    EXPECT_TRUE(chosen.isEmpty());
}

// The question before replacing a file answers in German whatever Qt's
// translations, and only "Ja" agrees; Esc is "Nein".
TEST(DesktopPlatform, ConfirmAgreesOnlyWithJa) {
    struct Case {
        const char* press;  // a button's text, or "" for Esc
        bool agrees;
    };
    const Case kCases[] = {{"Ja", true}, {"Nein", false}, {"", false}};
    for (const Case& c : kCases) {
        QStringList buttons;
        ModalWatcher watcher([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box) return;
            for (QAbstractButton* button : box->buttons()) buttons << button->text();
            for (QAbstractButton* button : box->buttons())
                if (button->text() == QString::fromUtf8(c.press)) return button->click();
            QTest::keyClick(box, Qt::Key_Escape);
        });
        DesktopPlatform platform;
        EXPECT_EQ(platform.confirm(nullptr, "Ersetzen?"), c.agrees) << c.press;
        buttons.sort();
        EXPECT_EQ(buttons, QStringList({"Ja", "Nein"})) << c.press;
    }
}

}  // namespace
}  // namespace velunt::ui

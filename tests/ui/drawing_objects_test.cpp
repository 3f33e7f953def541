// List1's context menu: "Objekte der Zeichnung …" opens a dialog with the
// drawing's object types and counts and the master type's group codes.
#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QTableWidget>
#include <QTest>

#include "ui/drawing_objects_dialog.h"
#include "ui/form1.h"
#include "ui_test_support.h"

namespace velunt::ui {
namespace {

using testing::ScriptedPlatform;
using testing::Workspace;

QStringList row(const QTableWidget* table, int r) {
    QStringList cells;
    for (int c = 0; c < table->columnCount(); ++c) cells << table->item(r, c)->text();
    return cells;
}

TEST(DrawingObjects, RightClickOnList1OpensTheCounts) {
    Workspace workspace;
    ScriptedPlatform platform;
    Form1 form(platform);
    form.load(workspace.path("velunt.ini"));
    form.Label2->setText(workspace.qpath("in.dxf"));
    const QRect geometryBefore = form.List1->geometry();

    // The menu that comes up: its one entry, chosen with the keyboard.
    QString entry;
    QTimer::singleShot(50, &form, [&entry] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return;
        entry = menu->actions().value(0)->text();
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    const QPoint at(10, 10);
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, form.List1->viewport()->mapToGlobal(at));
    QApplication::sendEvent(form.List1->viewport(), &click);
    EXPECT_EQ(entry, QString::fromUtf8("Objekte der Zeichnung …"));

    auto* dialog = form.findChild<DrawingObjectsDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    const QStringList kTypes[] = {
        {"TEXT", "2", "2", "0"}, {"ENDSEC", "1", "0", "1"},  {"EOF", "1", "0", "1"},
        {"LINE", "1", "1", "0"}, {"SECTION", "1", "0", "1"},
    };
    ASSERT_EQ(dialog->types->rowCount(), static_cast<int>(std::size(kTypes)));
    for (int r = 0; r < dialog->types->rowCount(); ++r)
        EXPECT_EQ(row(dialog->types, r), kTypes[r]) << r;
    ASSERT_EQ(dialog->codes->rowCount(), 3);
    EXPECT_EQ(row(dialog->codes, 0), (QStringList{"10", "2", "RW (X)", "", "4412345.5"}));
    EXPECT_EQ(row(dialog->codes, 2), (QStringList{"1", "2", "Text", "", "%%c12"}));
    EXPECT_EQ(form.List1->geometry(), geometryBefore);
    dialog->close();
}

}  // namespace
}  // namespace velunt::ui

// Form1 as it comes up: layout, contents, states, fonts, focus order and
// the check box couplings.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>
#include <QTest>

#include "ui/form1.h"
#include "ui/path_label.h"
#include "ui/text_bytes.h"
#include "ui_test_support.h"

namespace velunt::ui {
namespace {

using testing::ScriptedPlatform;
using testing::TempDir;
using testing::WriteFile;

class Form1Window : public ::testing::Test {
protected:
    ScriptedPlatform m_platform;
    Form1 m_form{m_platform};

    QWidget* control(const char* name) {
        auto* widget = m_form.findChild<QWidget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    void showAndActivate() {
        m_form.show();
        QApplication::setActiveWindow(&m_form);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&m_form));
    }
};

TEST_F(Form1Window, ControlsSitWhereTheLayoutPutsThem) {
    struct Case {
        const char* name;
        QRect pixels;  // twips / 15
    };
    const Case kCases[] = {
        {"Command1", {9, 6, 73, 25}},     {"Label2", {96, 15, 280, 13}},
        {"Command2", {9, 36, 73, 25}},    {"Label4", {96, 42, 280, 13}},
        {"Label5", {207, 78, 136, 13}},   {"Label6", {15, 84, 40, 13}},
        {"Label7", {63, 84, 118, 13}},    {"List1", {207, 93, 166, 147}},
        {"Text2", {120, 105, 28, 19}},    {"Label9", {33, 108, 82, 13}},
        {"Text1", {120, 129, 28, 19}},    {"Check2", {15, 132, 100, 16}},
        {"Check4", {15, 159, 115, 16}},   {"Check3", {15, 186, 91, 16}},
        {"Text3", {78, 204, 73, 19}},     {"Label1", {36, 207, 40, 16}},
        {"Text4", {78, 228, 73, 19}},     {"Label3", {36, 231, 40, 16}},
        {"Command3", {210, 249, 73, 25}}, {"Command4", {300, 249, 73, 25}},
        {"Check1", {15, 258, 139, 16}},
    };
    for (const Case& c : kCases) {
        QWidget* widget = control(c.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), c.pixels) << c.name;
        EXPECT_TRUE(widget->isVisibleTo(&m_form)) << c.name;
    }

    // Line1: one line across the whole width, past both side edges.
    auto* line = qobject_cast<QFrame*>(control("Line1"));
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->frameShape(), QFrame::HLine);
    EXPECT_EQ(line->y(), 69);
    EXPECT_LT(line->geometry().left(), 0);
    EXPECT_GT(line->geometry().right(), 386);
}

TEST_F(Form1Window, HasAFixedSizeTitleAndIconWithoutMaximizeOrMinimize) {
    m_form.show();
    EXPECT_EQ(m_form.size(), QSize(386, 284));
    EXPECT_EQ(m_form.minimumSize(), m_form.maximumSize());
    EXPECT_EQ(m_form.windowTitle(), "VELUNT");
    const Qt::WindowFlags flags = m_form.windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(m_form.windowIcon().availableSizes().contains(QSize(16, 16)));
    // The icon is drawn, not blank.
    const QImage icon = m_form.windowIcon().pixmap(16, 16).toImage();
    EXPECT_NE(icon.pixel(8, 6), icon.pixel(8, 14));

    m_form.resize(600, 500);
    EXPECT_EQ(m_form.size(), QSize(386, 284));
}

TEST_F(Form1Window, StartsWithTheDesignedCaptionsTextsAndStates) {
    struct Case {
        const char* name;
        QString text;
        bool isEnabled;
        int ticked;  // -1: no check box
    };
    const Case kCases[] = {
        {"Command1", "DXF wählen", true, -1},
        {"Command2", "TXT wählen", true, -1},
        {"Command3", "Auslesen", true, -1},
        {"Command4", "Ende", true, -1},
        {"Label2", "", true, -1},
        {"Label4", "", true, -1},
        {"Label5", "Aufbau der Ausgabedatei:", true, -1},
        {"Label6", "Objekt:", true, -1},
        {"Label7", "", true, -1},
        {"Label9", "Trennzeichen:", true, -1},
        {"Label1", "RW = ", true, -1},
        {"Label3", "HW = ", true, -1},
        {"Text1", "", false, -1},
        {"Text2", "", true, -1},
        {"Text3", "4400000", false, -1},
        {"Text4", "5700000", false, -1},
        {"Check1", "%%c durch \"0\" ersetzen", true, 1},
        {"Check2", "Dezimalzeichen:", true, 0},
        {"Check3", "Verschiebung", true, 0},
        {"Check4", "Zähler hinzufügen", true, 1},
    };
    for (const Case& c : kCases) {
        QWidget* widget = control(c.name);
        ASSERT_NE(widget, nullptr);
        QString text;
        if (auto* l = qobject_cast<QLabel*>(widget)) text = l->text();
        if (auto* b = qobject_cast<QAbstractButton*>(widget)) text = b->text();
        if (auto* t = qobject_cast<QLineEdit*>(widget)) text = t->text();
        EXPECT_EQ(text, c.text) << c.name;
        EXPECT_EQ(widget->isEnabled(), c.isEnabled) << c.name;
        if (c.ticked >= 0) {
            EXPECT_EQ(qobject_cast<QCheckBox*>(widget)->isChecked(), c.ticked == 1) << c.name;
        }
    }
    EXPECT_EQ(m_form.List1->count(), 0);
    EXPECT_EQ(QString(m_form.Check1->text()).size(), 22);

    // A fresh window runs with the counter and "%%c" replacement only.
    const RunSettings settings = m_form.readRunSettings();
    EXPECT_TRUE(settings.addCounter);
    EXPECT_TRUE(settings.replacePercentC);
    EXPECT_FALSE(settings.shiftCoordinates);
    EXPECT_FALSE(settings.replaceDecimalPoint);
    EXPECT_EQ(settings.rwShift, "4400000");
    EXPECT_EQ(settings.hwShift, "5700000");
}

TEST_F(Form1Window, HasOnlyTheTwoToolTipsAndNoAccessKeysOrDefaultButtons) {
    EXPECT_EQ(m_form.Check2->toolTip(), "Standardzeichen: >> . <<");
    EXPECT_EQ(m_form.Check3->toolTip(), "Verschiebung nur für die Schlüssel 10, 20, 11 und 21");
    EXPECT_FALSE(Qt::mightBeRichText(m_form.Check2->toolTip()));  // shown as written
    for (QWidget* widget : m_form.findChildren<QWidget*>()) {
        if (widget != m_form.Check2 && widget != m_form.Check3) {
            EXPECT_TRUE(widget->toolTip().isEmpty()) << widget->objectName().toStdString();
        }
        if (auto* b = qobject_cast<QAbstractButton*>(widget)) {
            EXPECT_FALSE(b->text().contains('&')) << b->text().toStdString();
            EXPECT_TRUE(b->shortcut().isEmpty());
        }
        if (auto* b = qobject_cast<QPushButton*>(widget)) {
            EXPECT_FALSE(b->isDefault()) << b->text().toStdString();
            EXPECT_FALSE(b->autoDefault()) << b->text().toStdString();
        }
    }
    // A caption with "&" (a path) shows the character, not an access key.
    m_form.Label2->setText("R&D/plan.dxf");
    const QFontMetrics metrics(m_form.Label2->font());
    EXPECT_GT(m_form.Label2->sizeHint().width(), metrics.horizontalAdvance("RD/plan.dxf"));
}

TEST_F(Form1Window, UsesAnArialWideWindowFontAndAFixedPitchList) {
    const QFontInfo window(m_form.font());
    EXPECT_EQ(m_form.font().pointSizeF(), 8.0);
    if (QFontDatabase::families().contains("Liberation Sans")) {
        EXPECT_EQ(window.family(), "Liberation Sans");
    }
    for (QWidget* widget : m_form.findChildren<QWidget*>()) {
        if (widget != m_form.List1 && widget->parentWidget() == &m_form) {
            EXPECT_EQ(widget->font(), m_form.font()) << widget->objectName().toStdString();
        }
    }

    const QFont list = m_form.List1->font();
    EXPECT_EQ(list.family(), "Courier");
    EXPECT_EQ(list.pointSizeF(), 9.75);
    EXPECT_EQ(list.weight(), QFont::Normal);
    EXPECT_FALSE(list.italic() || list.underline() || list.strikeOut());
    EXPECT_TRUE(QFontInfo(list).fixedPitch()) << QFontInfo(list).family().toStdString();
}

// The space a control gives its caption, as the style lays it out.
QRect textRect(QWidget* widget) {
    QStyle* style = widget->style();
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        return style->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    }
    if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        return style->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
    }
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        QStyleOptionFrame option;
        option.initFrom(edit);
        option.lineWidth = style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
        const int kLineEditMargin = 2;  // QLineEdit's own margin on each side
        return style->subElementRect(QStyle::SE_LineEditContents, &option, edit)
            .adjusted(kLineEditMargin, 0, -kLineEditMargin, 0);
    }
    return widget->contentsRect();
}

TEST_F(Form1Window, EveryCaptionAndTextFitsItsControl) {
    m_form.show();
    int checked = 0;
    for (QWidget* widget : m_form.findChildren<QWidget*>()) {
        QString text;
        if (auto* l = qobject_cast<QLabel*>(widget)) text = l->text();
        if (auto* b = qobject_cast<QAbstractButton*>(widget)) text = b->text();
        if (auto* t = qobject_cast<QLineEdit*>(widget)) text = t->text();
        if (text.isEmpty()) continue;
        const QFontMetrics metrics(widget->font());
        const QRect room = textRect(widget);
        EXPECT_LE(metrics.horizontalAdvance(text), room.width())
            << widget->objectName().toStdString() << " \"" << text.toStdString() << "\" in "
            << QFontInfo(widget->font()).family().toStdString();
        EXPECT_LE(metrics.height(), widget->height()) << widget->objectName().toStdString();
        ++checked;
    }
    EXPECT_EQ(checked, 15);
}

TEST_F(Form1Window, TabVisitsTheControlsInTabIndexOrderSkippingDisabledBoxes) {
    showAndActivate();
    EXPECT_EQ(QApplication::focusWidget(), m_form.Command1);

    auto tabRound = [this] {
        std::vector<std::string> visited;
        for (int i = 0; i < 20; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            if (focus == m_form.Command1) break;
            visited.push_back(focus ? focus->objectName().toStdString() : "(none)");
        }
        return visited;
    };
    EXPECT_EQ(tabRound(),
              (std::vector<std::string>{"Command2", "Command3", "Command4", "List1", "Check1",
                                        "Text2", "Check2", "Check3", "Check4"}));

    QTest::mouseClick(m_form.Check2, Qt::LeftButton);
    QTest::mouseClick(m_form.Check3, Qt::LeftButton);
    m_form.Command1->setFocus();
    EXPECT_EQ(tabRound(), (std::vector<std::string>{"Command2", "Command3", "Command4", "List1",
                                                    "Check1", "Text1", "Text2", "Check2", "Check3",
                                                    "Text3", "Text4", "Check4"}));
}

TEST_F(Form1Window, CheckBoxesEnableTheirTextBoxesAndKeepTheirTexts) {
    showAndActivate();
    m_form.Text1->setText(",");
    struct Case {
        QCheckBox* box;
        std::vector<QLineEdit*> texts;
    };
    const Case kCases[] = {{m_form.Check2, {m_form.Text1}},
                           {m_form.Check3, {m_form.Text3, m_form.Text4}}};
    for (const Case& c : kCases) {
        std::vector<QString> before;
        for (QLineEdit* t : c.texts) before.push_back(t->text());
        QTest::mouseClick(c.box, Qt::LeftButton);
        for (QLineEdit* t : c.texts) EXPECT_TRUE(t->isEnabled()) << t->objectName().toStdString();
        // Unticked by keyboard: the coupling follows every change by the user.
        c.box->setFocus();
        QTest::keyClick(c.box, Qt::Key_Space);
        EXPECT_FALSE(c.box->isChecked());
        for (size_t i = 0; i < c.texts.size(); ++i) {
            EXPECT_FALSE(c.texts[i]->isEnabled()) << c.texts[i]->objectName().toStdString();
            EXPECT_EQ(c.texts[i]->text(), before[i]);
        }
    }
}

// velunt.ini's switches tick the boxes and enable their text boxes as a
// click does; without them the window keeps its start state.
TEST_F(Form1Window, LoadSetsTheBoxesAndShiftsVeluntIniNames) {
    struct Case {
        const char* settings;
        bool check1, check2, check3, check4;
        const char *text3, *text4;
    };
    const Case kCases[] = {
        {"verschiebung=1\r\nrw=32000000\r\ndezersetzen=1\r\n", true, true, true, true, "32000000",
         "5700000"},
        {"prozentc=0\r\nzaehler=0\r\nhw= 0 \r\n", false, false, false, false, "4400000", "0"},
        {"verschiebung=\r\nrw=\r\n", true, false, false, true, "4400000", "5700000"},
    };
    for (const Case& c : kCases) {
        TempDir dir;
        WriteFile(dir / "velunt.ini",
                  std::string("masterkey=TEXT\r\n") + c.settings + "[Spalten]\r\n 10|1|RW\r\n");
        Form1 form(m_platform);
        form.load(dir / "velunt.ini");
        EXPECT_EQ(form.Check1->isChecked(), c.check1) << c.settings;
        EXPECT_EQ(form.Check2->isChecked(), c.check2) << c.settings;
        EXPECT_EQ(form.Check3->isChecked(), c.check3) << c.settings;
        EXPECT_EQ(form.Check4->isChecked(), c.check4) << c.settings;
        EXPECT_EQ(form.Text1->isEnabled(), c.check2) << c.settings;
        EXPECT_EQ(form.Text3->isEnabled(), c.check3) << c.settings;
        EXPECT_EQ(form.Text4->isEnabled(), c.check3) << c.settings;
        EXPECT_EQ(form.Text3->text(), c.text3) << c.settings;
        EXPECT_EQ(form.Text4->text(), c.text4) << c.settings;
        const RunSettings run = form.readRunSettings();
        EXPECT_EQ(run.shiftCoordinates, c.check3) << c.settings;
        EXPECT_EQ(run.rwShift, c.text3) << c.settings;
    }
}

// A path too long for Label2 or Label4 keeps its beginning and its file
// name, the middle elided, and fits; the run still takes the whole path.
TEST_F(Form1Window, LongPathsShowTheirEndsAndTheWholePathAsToolTip) {
    const QFontMetrics metrics(m_form.Label2->font());
    const int width = m_form.Label2->contentsRect().width();
    struct Case {
        QString path;
        QString start, end;  // of what is shown
    };
    const QString deep =
        "/home/vermesser/Projekte/2024/Baugebiet Nord/Aufmass/"
        "Vermessung/Lageplan/plan.dxf";
    const QString hugeName = "/home/" + QString(200, 'x') + ".dxf";
    const Case kCases[] = {
        {"/home/a/plan.dxf", "/home/a/plan.dxf", "/home/a/plan.dxf"},
        {deep, "/home/…/", "/Lageplan/plan.dxf"},
        {"C:\\Daten\\" + QString(60, 'y') + "\\Vermessung\\plan.dxf", "C:\\…\\",
         "\\Vermessung\\plan.dxf"},
        {hugeName, "/home/", ".dxf"},  // not even the name fits: elided inside it
    };
    for (const Case& c : kCases) {
        const QString shown = ElidedPath(c.path, metrics, width);
        EXPECT_LE(metrics.horizontalAdvance(shown), width) << shown.toStdString();
        EXPECT_TRUE(shown.startsWith(c.start)) << shown.toStdString();
        EXPECT_TRUE(shown.endsWith(c.end)) << shown.toStdString();
        EXPECT_EQ(shown.contains(QStringLiteral("…")), shown != c.path) << shown.toStdString();
    }
    m_form.openDrawing(deep);
    EXPECT_EQ(m_form.Label2->text(), deep);
    EXPECT_EQ(m_form.Label2->toolTip(), deep);
    EXPECT_EQ(m_form.Label4->toolTip(), m_form.Label4->text());
    EXPECT_EQ(m_form.readRunSettings().dxfpath, PathFromCaption(deep));
    m_form.openDrawing("/home/a/plan.dxf");
    EXPECT_EQ(m_form.Label2->toolTip(), "");
}

}  // namespace
}  // namespace velunt::ui

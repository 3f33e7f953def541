// Form1's actions, driven as a user would: the load action, the two file
// dialogs (scripted), "Auslesen" end to end in a temporary folder, the error
// box, and "Ende".
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "ui/error_box.h"
#include "ui/form1.h"
#include "ui_test_support.h"

namespace velunt::ui {
namespace {

using testing::MessageBoxAnswerer;
using testing::ReadFile;
using testing::ScriptedPlatform;
using testing::Workspace;
using testing::WriteFile;

// Makes `dir` the working directory for one test, as the user's start does.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const QString& dir) : m_previous(QDir::currentPath()) {
        QDir::setCurrent(dir);
    }
    ~WorkingDirectory() { QDir::setCurrent(m_previous); }

private:
    QString m_previous;
};

class Form1Actions : public ::testing::Test {
protected:
    Workspace m_workspace;
    WorkingDirectory m_cwd{m_workspace.qpath("")};
    ScriptedPlatform m_platform;
    Form1 m_form{m_platform};

    void load() { m_form.load("velunt.ini"); }
    // Clicks "Auslesen"; the boxes that come up during the run are recorded
    // and answered.
    std::vector<testing::SeenBox> clickAuslesen() {
        MessageBoxAnswerer answerer(&m_platform, &m_form);
        QTest::mouseClick(m_form.Command3, Qt::LeftButton);
        return answerer.boxes;
    }
    std::string output() const { return ReadFile(m_workspace.path("out.txt")); }
};

TEST_F(Form1Actions, LoadFillsTheWindowFromVeluntIni) {
    load();
    EXPECT_EQ(m_form.Label2->text(), "in.dxf");
    EXPECT_EQ(m_form.Label4->text(), "out.txt");
    EXPECT_EQ(m_form.Label7->text(), "TEXT");
    EXPECT_EQ(m_form.Text1->text(), ",");
    EXPECT_EQ(m_form.Text2->text(), ";");
    ASSERT_EQ(m_form.List1->count(), 3);
    EXPECT_EQ(m_form.List1->item(0)->text(), " 10|1|RW");
    EXPECT_EQ(m_form.List1->item(2)->text(), "  1|3|Text");
    EXPECT_EQ(m_form.List1->toolTip(),
              "Schlüssel in DXF | Spalte in TXT | Beschreibung - Änderungen in der INI-Datei "
              "vornehmen");
    EXPECT_FALSE(m_form.isVisible());
}

// velunt.ini as UTF-8 or, when not valid UTF-8, as Windows-1252: the window
// shows the decoded text, a path opens the file of that name, and what the
// user types goes back into the file's encoding.
// abschnitt=, kodierung= and anfuehrung= have no field of their own: the run
// takes them from velunt.ini as loaded.
TEST_F(Form1Actions, RunsWithTheSectionEncodingAndQuotingOfVeluntIni) {
    WriteFile(m_workspace.path("velunt.ini"),
              "dxfpath=in.dxf\r\ntxtpath=out.txt\r\nmasterkey=TEXT\r\ntrennzeich=;\r\n"
              "abschnitt=ENTITIES\r\nkodierung=UTF-8\r\nanfuehrung=1\r\n"
              "[Spalten]\r\n  1|1|Text\r\n\r\n");
    WriteFile(m_workspace.path("in.dxf"),
              "  0\nSECTION\n  2\nBLOCKS\n  0\nTEXT\n  1\nSymbol\n  0\nENDSEC\n"
              "  0\nSECTION\n  2\nENTITIES\n  0\nTEXT\n  1\nStra\xDF"
              "e; Ecke\n  0\nENDSEC\n");
    ScriptedPlatform platform;
    Form1 form(platform);
    form.load("velunt.ini");
    EXPECT_EQ(form.readRunSettings().section, "ENTITIES");
    EXPECT_EQ(form.readRunSettings().tableEncoding, TableEncoding::Utf8);
    MessageBoxAnswerer answerer;
    QTest::mouseClick(form.Command3, Qt::LeftButton);
    EXPECT_TRUE(answerer.boxes.empty());
    EXPECT_EQ(output(),
              "Text;Index\r\n\"Stra\xC3\x9F"
              "e; Ecke\";1\r\n");
}

TEST_F(Form1Actions, ReadsAndWritesTextInTheEncodingOfVeluntIni) {
    struct Case {
        const char* encoding;
        std::string umlautPath;  // "Maß.dxf" in the file's encoding
        std::string euro;        // "€"
        std::string aUmlaut;     // "ä"
    };
    const Case kCases[] = {{"UTF-8", "Ma\xC3\x9F.dxf", "\xE2\x82\xAC", "\xC3\xA4"},
                           {"Windows-1252", "Ma\xDF.dxf", "\x80", "\xE4"}};
    WriteFile(m_workspace.path("Maß.dxf"), Workspace::kDrawing);
    for (const Case& c : kCases) {
        WriteFile(m_workspace.path("velunt.ini"), "dxfpath=" + c.umlautPath +
                                                      "\r\ntxtpath=out.txt\r\nmasterkey=TEXT\r\n"
                                                      "dezzeich=" +
                                                      c.euro +
                                                      "\r\n[Spalten]\r\n 10|1|RW\r\n 20|2|HW\r\n");
        ScriptedPlatform platform;
        Form1 form(platform);
        form.load("velunt.ini");
        EXPECT_EQ(form.Label2->text(), "Maß.dxf") << c.encoding;
        EXPECT_EQ(form.Text1->text(), "€") << c.encoding;

        form.Text2->setText("ä");
        MessageBoxAnswerer answerer;
        QTest::mouseClick(form.Command3, Qt::LeftButton);
        EXPECT_TRUE(answerer.boxes.empty()) << c.encoding << " " << output();
        EXPECT_EQ(form.readRunSettings().decimalMark, c.euro) << c.encoding;
        EXPECT_EQ(form.readRunSettings().separator, c.aUmlaut) << c.encoding;
        // The drawing named with an umlaut was found and read.
        const std::string& a = c.aUmlaut;
        EXPECT_EQ(output(), "RW" + a + "HW" + a + "Index\r\n4412345.5" + a + "5712345.25" + a +
                                "1\r\n4412350.75" + a + "5712340.0" + a + "2\r\n")
            << c.encoding;
    }
}

TEST_F(Form1Actions, FileDialogsStartFromTheCaptionAndWriteTheChoiceBack) {
    load();
    const QString cwd = QDir::currentPath();
    QDir().mkdir("sub");
    struct Case {
        QPushButton* button;
        QLabel* label;
        QString caption;
        QString answer;  // "" cancels
        QString folder;
        QString proposedName;
        QString shown;  // the caption afterwards
    };
    const QString chosen = cwd + "/sub/neu.dxf";  // need not exist
    const Case kCases[] = {
        {m_form.Command1, m_form.Label2, "sub/alt.dxf", chosen, cwd + "/sub", "alt.dxf",
         QDir::toNativeSeparators(chosen)},
        {m_form.Command1, m_form.Label2, "in.dxf", "", cwd, "in.dxf", "in.dxf"},
        {m_form.Command1, m_form.Label2, "", "", cwd, "", ""},
        {m_form.Command1, m_form.Label2, "fehlt/x.dxf", "", cwd, "x.dxf", "fehlt/x.dxf"},
        {m_form.Command2, m_form.Label4, cwd + "/out.txt", cwd + "/sub/t.txt", cwd, "out.txt",
         QDir::toNativeSeparators(cwd + "/sub/t.txt")},
        {m_form.Command2, m_form.Label4, "out.txt", "", cwd, "out.txt", "out.txt"},
    };
    for (const Case& c : kCases) {
        const std::string what =
            c.label->objectName().toStdString() + " \"" + c.caption.toStdString() + "\"";
        c.label->setText(c.caption);
        m_platform.answers = {c.answer};
        m_platform.requests.clear();
        QTest::mouseClick(c.button, Qt::LeftButton);
        ASSERT_EQ(m_platform.requests.size(), 1u) << what;
        const FileDialogRequest& request = m_platform.requests.front();
        EXPECT_EQ(request.folder, c.folder) << what;
        EXPECT_EQ(request.proposedName, c.proposedName) << what;
        EXPECT_EQ(c.label->text(), c.shown) << what;

        const bool isSave = c.button == m_form.Command2;
        EXPECT_EQ(request.kind,
                  isSave ? FileDialogRequest::Kind::Save : FileDialogRequest::Kind::Open);
        EXPECT_EQ(request.title, isSave ? "Ausgabe-Datei wählen" : "DXF-Datei wählen");
        const QString database = isSave ? "Datenbank (*.txt)" : "Datenbank (*.dxf)";
        EXPECT_EQ(request.filters, QStringList({"Alle Dateien (*.*)", database}));
        EXPECT_EQ(request.selectedFilter, database);
    }
}

TEST_F(Form1Actions, AuslesenWritesTheTableTakesTheMarksAndBeepsOnce) {
    load();
    m_form.Text1->setText("#");  // Check2 not ticked: still taken
    const auto boxes = clickAuslesen();
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(output(), Workspace::kTable);
    EXPECT_EQ(m_form.readRunSettings().decimalMark, "#");
    EXPECT_EQ(m_form.readRunSettings().separator, ";");
    EXPECT_EQ(m_platform.beeps, 1);
    EXPECT_EQ(m_form.cursor().shape(), Qt::ArrowCursor);

    // The same run again gives the same table.
    EXPECT_TRUE(clickAuslesen().empty());
    EXPECT_EQ(output(), Workspace::kTable);
}

TEST_F(Form1Actions, OptionsAndTextBoxesReachTheRun) {
    load();
    QTest::mouseClick(m_form.Check1, Qt::LeftButton);  // keep "%%c"
    QTest::mouseClick(m_form.Check2, Qt::LeftButton);
    QTest::mouseClick(m_form.Check3, Qt::LeftButton);
    QTest::mouseClick(m_form.Check4, Qt::LeftButton);  // no counter
    m_form.Text2->setText("|");
    m_form.Text3->setText("-4400000");
    m_form.Text4->setText("-5700000");
    EXPECT_TRUE(clickAuslesen().empty());
    // 5712340.0 is a plain number: shifted like the others.
    EXPECT_EQ(output(), "RW|HW|Text\r\n12345,5|12345,25|%%c12\r\n12350,75|12340|B\r\n");
}

TEST_F(Form1Actions, AFailedRunShowsTheErrorBoxAndBeepsTwice) {
    load();
    m_form.Label2->setText("fehlt.dxf");
    const auto boxes = clickAuslesen();
    ASSERT_EQ(boxes.size(), 1u);
    const testing::SeenBox& box = boxes.front();
    EXPECT_EQ(box.title, "Fehler");
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_EQ(box.buttonCount, 1);
    EXPECT_TRUE(box.hasOk);
    // The two CRs of the prompt show as a paragraph break.
    // A relative path is named as given and with the full path it was
    // looked for at: for a start from the menu, in the home folder.
    EXPECT_EQ(box.text, QString::fromUtf8("Fehler: 53\n\nDatei nicht gefunden: Zeichnung "
                                          "„fehlt.dxf“ (voller Pfad: ") +
                            QDir::current().canonicalPath() + "/fehlt.dxf)");
    EXPECT_EQ(ErrorPrompt(RuntimeError{53, "Datei nicht gefunden"}),
              "Fehler: 53\r\rDatei nicht gefunden");
    EXPECT_EQ(box.beepsBefore, 1);  // the run's report beeps before its box
    EXPECT_EQ(box.formCursor, Qt::WaitCursor);
    EXPECT_EQ(m_platform.beeps, 2);  // ... and the action once more after the run
    EXPECT_EQ(m_form.cursor().shape(), Qt::ArrowCursor);
    // A drawing that cannot be opened leaves the output untouched.
    EXPECT_FALSE(std::filesystem::exists(m_workspace.path("out.txt")));
}

// What the window says after a run, per situation: an error in the error box
// (after the report's beep and before the run's), a run that found nothing in
// an information box after the run's one beep. Each names the file, the line
// or the column, and what to do.
TEST_F(Form1Actions, MessagesNameTheFileAndWhatToDo) {
    load();
    WriteFile(m_workspace.path("linien.dxf"),
              "  0\r\nLINE\r\n 10\r\n1\r\n  0\r\nLINE\r\n 10\r\n2\r\n  0\r\nEOF\r\n");
    WriteFile(m_workspace.path("ohne_hw.dxf"), "  0\r\nTEXT\r\n 10\r\n1\r\n  1\r\nA\r\n");
    WriteFile(m_workspace.path("semikolon.dxf"),
              "  0\r\nTEXT\r\n 10\r\n1\r\n 20\r\n2\r\n  1\r\nA;B\r\n");
    struct Case {
        const char* dxf;
        const char* txt;
        bool replaceDecimalPoint;
        bool error;  // else a warning
        int number;  // errors only
        std::vector<const char*> words;
    };
    const Case kCases[] = {
        {"fehlt.dxf", "out.txt", false, true, 53, {"Datei nicht gefunden: Zeichnung „fehlt.dxf“"}},
        {"in.dxf",
         "fehlt/out.txt",
         false,
         true,
         76,
         {"Ausgabedatei „fehlt/out.txt“", "Ordner „fehlt“ fehlt"}},
        {"in.dxf", "", false, true, 75, {"Keine Ausgabedatei: txtpath= fehlt", "TXT wählen"}},
        {"in.dxf", "out.txt", true, true, 5, {"Dezimalzeichen und Trennzeichen", "ändern"}},
        {"linien.dxf",
         "out.txt",
         false,
         false,
         0,
         {"Keine Objekte vom Typ „TEXT“ in linien.dxf. Vorhanden: LINE 2."}},
        {"ohne_hw.dxf",
         "out.txt",
         false,
         false,
         0,
         {"Spalte „HW“ (·20) blieb im einzigen Objekt leer", "vorigen Schlüssel (·10)",
          "Spalte „Text“ (··1)"}},
        {"semikolon.dxf",
         "out.txt",
         false,
         false,
         0,
         {"1 Feld enthält das Trennzeichen (in Objekt 1, Spalte 3 „Text“)", "anfuehrung=1"}},
    };
    for (const Case& c : kCases) {
        m_platform.beeps = 0;
        m_form.Label2->setText(c.dxf);
        m_form.Label4->setText(c.txt);
        if (m_form.Check2->isChecked() != c.replaceDecimalPoint)
            QTest::mouseClick(m_form.Check2, Qt::LeftButton);
        m_form.Text1->setText(";");
        const auto boxes = clickAuslesen();
        ASSERT_EQ(boxes.size(), 1u) << c.dxf;
        const testing::SeenBox& box = boxes.front();
        EXPECT_EQ(box.title, c.error ? "Fehler" : "Hinweis") << c.dxf;
        EXPECT_EQ(box.icon, c.error ? QMessageBox::Critical : QMessageBox::Information) << c.dxf;
        EXPECT_EQ(box.beepsBefore, 1) << c.dxf;
        EXPECT_EQ(m_platform.beeps, c.error ? 2 : 1) << c.dxf;
        if (c.error) {
            EXPECT_TRUE(box.text.startsWith(QString("Fehler: %1\n\n").arg(c.number))) << c.dxf;
        }
        for (const char* word : c.words)
            EXPECT_TRUE(box.text.contains(QString::fromUtf8(word)))
                << word << " in " << box.text.toStdString();
    }
}

// However a run fails, it ends with the error box, two beeps and the arrow,
// and the window is as usable as before: the next run, set right, works.
TEST_F(Form1Actions, EveryFailingRunIsFollowedByAWorkingOne) {
    load();
    m_form.show();
    WriteFile(m_workspace.path("kurz.dxf"), "  0\r\nSECTION\r\n  0\r\nTEXT\r\n 10\r\n");
    WriteFile(m_workspace.path("binaer.dxf"), std::string("AutoCAD Binary DXF\r\n\x1a\0rest", 27));
    struct Case {
        const char* dxf;
        const char* txt;
        bool replaceDecimalPoint;
        int number;
    };
    const Case kCases[] = {
        {"kurz.dxf", "out.txt", false, 62},      // truncated after a key line
        {"fehlt.dxf", "out.txt", false, 53},     // no such drawing
        {"in.dxf", "fehlt/out.txt", false, 76},  // no such folder
        {"in.dxf", "in.dxf", false, 75},         // the drawing itself
        {"binaer.dxf", "out.txt", false, 321},   // binary DXF
        {"in.dxf", "out.txt", true, 5},          // decimal mark = separator
    };
    for (const Case& c : kCases) {
        const std::string drawing = ReadFile(m_workspace.path(c.dxf));
        m_platform.beeps = 0;
        m_form.Label2->setText(c.dxf);
        m_form.Label4->setText(c.txt);
        if (m_form.Check2->isChecked() != c.replaceDecimalPoint)
            QTest::mouseClick(m_form.Check2, Qt::LeftButton);
        m_form.Text1->setText(";");

        auto boxes = clickAuslesen();
        ASSERT_EQ(boxes.size(), 1u) << c.number;
        EXPECT_TRUE(boxes.front().text.startsWith(QString("Fehler: %1\n\n").arg(c.number)))
            << boxes.front().text.toStdString();
        EXPECT_EQ(boxes.front().title, "Fehler");
        EXPECT_EQ(m_platform.beeps, 2) << c.number;
        EXPECT_EQ(m_form.cursor().shape(), Qt::ArrowCursor) << c.number;
        EXPECT_TRUE(m_form.isVisible());
        EXPECT_EQ(ReadFile(m_workspace.path(c.dxf)), drawing) << c.number;

        if (c.replaceDecimalPoint) QTest::mouseClick(m_form.Check2, Qt::LeftButton);
        m_form.Label2->setText("in.dxf");
        m_form.Label4->setText("out.txt");
        boxes = clickAuslesen();
        EXPECT_TRUE(boxes.empty()) << c.number;
        EXPECT_EQ(output(), Workspace::kTable) << c.number;
        EXPECT_EQ(m_platform.beeps, 3) << c.number;
        EXPECT_EQ(m_form.cursor().shape(), Qt::ArrowCursor) << c.number;
    }
    // What a truncated drawing leaves: the lines written before the error.
    m_form.Label2->setText("kurz.dxf");
    ASSERT_EQ(clickAuslesen().size(), 1u);
    EXPECT_EQ(output(), "RW;HW;Text;Index\r\n");
}

TEST_F(Form1Actions, EndeAndTheWindowsCloseCommandCloseTheWindow) {
    load();
    m_form.show();
    ASSERT_TRUE(clickAuslesen().empty());  // "Ende" right after a run
    QTest::mouseClick(m_form.Command4, Qt::LeftButton);
    EXPECT_FALSE(m_form.isVisible());

    m_form.show();
    EXPECT_TRUE(m_form.close());
    EXPECT_FALSE(m_form.isVisible());
}

}  // namespace
}  // namespace velunt::ui

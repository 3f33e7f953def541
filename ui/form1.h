#pragma once
// Form1, the program's one window: the configured paths, the master key and
// the column lines of velunt.ini, and every parameter of a run. Its actions:
// the load action (the configuration loader writes through this window),
// the couplings of Check2 and Check3, the two file dialogs, "Auslesen" and
// "Ende", and List1's context menu, which shows what the drawing holds.
// Controls keep their design names; their positions and sizes come
// from the design's twips.
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/config_loader.h"
#include "config/configuration.h"
#include "engine/run_interfaces.h"
#include "engine/run_settings.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace velunt::ui {

class RunProgress;
class WindowPlatform;

class Form1 : public QWidget {
    Q_OBJECT

public:
    static constexpr const char* kList1ToolTip =
        "Schlüssel in DXF | Spalte in TXT | Beschreibung - Änderungen in der INI-Datei vornehmen";

    // Creates the window with its initial contents, not yet shown. Borrows
    // `platform`, which must outlive the window.
    explicit Form1(WindowPlatform& platform, QWidget* parent = nullptr);
    ~Form1() override;

    // The load action: reads `iniPath` through the configuration loader and
    // shows it in List1, Label2, Label4, Label7, Text1 to Text4 and Check1 to
    // Check4, then sets the tooltip of List1. Raises the loader's RuntimeError; the window must
    // then not be shown.
    void load(const std::filesystem::path& iniPath);

    // A drawing given from outside (the command line, "Open with", a drop):
    // shown in Label2, and its table beside it (same folder and name,
    // ".txt") in Label4. A file already there may be something else, so the
    // first "Auslesen" asks before replacing one this window has not written.
    void openDrawing(const QString& drawing);

    // What a run takes from the window at this moment.
    RunSettings readRunSettings() const;

    // The loaded column table and settings.
    const Configuration& configuration() const { return m_config; }

    // Lets a test stand between the run and the window's progress observer
    // (to slow a run down). Returns the observer the run is given.
    using ObserverWrapper = std::function<std::unique_ptr<RunObserver>(RunObserver& window)>;
    void setObserverWrapper(ObserverWrapper wrapper) { m_observerWrapper = std::move(wrapper); }

    // The controls, top to bottom. Owned by the window.
    QPushButton* const Command1;
    QLabel* const Label2;
    QPushButton* const Command2;
    QLabel* const Label4;
    QFrame* const Line1;
    QLabel* const Label5;
    QLabel* const Label6;
    QLabel* const Label7;
    QListWidget* const List1;
    QLineEdit* const Text2;
    QLabel* const Label9;
    QLineEdit* const Text1;
    QCheckBox* const Check2;
    QCheckBox* const Check4;
    QCheckBox* const Check3;
    QLineEdit* const Text3;
    QLabel* const Label1;
    QLineEdit* const Text4;
    QLabel* const Label3;
    QPushButton* const Command3;
    QPushButton* const Command4;
    QCheckBox* const Check1;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // One local file dropped anywhere on the window becomes the drawing.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void layOut();
    void connectActions();

    void onCheck2Clicked();
    void onCheck3Clicked();
    void onCommand1Clicked();  // "DXF wählen"
    void onCommand2Clicked();  // "TXT wählen"
    void onCommand3Clicked();  // "Auslesen"
    void onCommand4Clicked();  // "Ende"
    void chooseFile(QLabel* label, bool forSaving);
    // Shows `path` in Label2 or Label4, its middle elided when too long.
    void showPath(QLabel* label, const QString& path);
    void showDrawingObjects();  // List1's context menu: "Objekte der Zeichnung …"
    // Runs the extraction; returns the warnings after a run that found
    // nothing useful.
    std::vector<std::string> run();
    // False when the user would rather keep the file that the run would
    // replace (see openDrawing).
    bool mayReplaceTable();

    WindowPlatform& m_platform;
    Configuration m_config;
    ObserverWrapper m_observerWrapper;
    bool m_isRunning = false;
    RunProgress* m_runProgress = nullptr;  // the running run's, while it runs
    bool m_closeAfterRun = false;          // closed during a run
    bool m_wasShown = false;
    // The table openDrawing put beside a drawing, until the user agrees to
    // replace it or this window has written it; empty otherwise.
    QString m_unconfirmedTable;
};

}  // namespace velunt::ui

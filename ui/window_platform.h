#pragma once
// What Form1 asks of the desktop: the file dialogs, a yes-or-no question
// and the beep. Behind an
// interface so that tests can script the dialogs and count the beeps.
#include <QString>
#include <QStringList>

class QWidget;

namespace velunt::ui {

// How "DXF wählen" and "TXT wählen" set up the file dialog; each action fills
// every field afresh.
struct FileDialogRequest {
    enum class Kind { Open, Save };
    Kind kind = Kind::Open;
    QString title;
    QString folder;        // existing folder the dialog starts in
    QString proposedName;  // file name filled in, empty for none
    QStringList filters;   // "Label (*.ext)" entries
    QString selectedFilter;
};

class WindowPlatform {
public:
    virtual ~WindowPlatform() = default;
    // Shows the dialog modal over `parent`. Returns the chosen file's path,
    // or an empty string when the user cancelled. The chosen file need not
    // exist; its folder must. Saving does not ask before an existing file.
    virtual QString chooseFile(QWidget* parent, const FileDialogRequest& request) = 0;
    // Asks `question` modal over `parent` with the answers "Ja" and "Nein";
    // true for "Ja". Closing the box is "Nein".
    virtual bool confirm(QWidget* parent, const QString& question) = 0;
    virtual void beep() = 0;
};

// The real desktop: Qt's file dialog and the platform's standard beep.
class DesktopPlatform : public WindowPlatform {
public:
    QString chooseFile(QWidget* parent, const FileDialogRequest& request) override;
    bool confirm(QWidget* parent, const QString& question) override;
    void beep() override;
};

}  // namespace velunt::ui

#pragma once
// Program start: finds velunt.ini, creates Form1 and runs its load action
// before the window is first shown. A failure to load is fatal: it is
// reported and the window is never shown.
#include <QString>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "base/runtime_error.h"
#include "ui/form1.h"
#include "ui/window_options.h"

namespace velunt::ui {

// The exit status of a program whose start-up failed.
constexpr int kExitStartUpFailed = 1;

// How a fatal start-up error reaches the user.
class StartUpReport {
public:
    virtual ~StartUpReport() = default;
    virtual void fatal(const QString& message) = 0;
};

// The real one: the same text on `err` and in a modal box with the critical
// icon. The text may have several lines.
class StartUpBox : public StartUpReport {
public:
    explicit StartUpBox(std::FILE* err = stderr) : m_err(err) {}
    void fatal(const QString& message) override;

private:
    std::FILE* m_err;
};

// "velunt.ini: Fehler 53: Datei nicht gefunden".
QString StartUpMessage(const std::filesystem::path& iniPath, const RuntimeError& error);

// Creates Form1 and loads `iniPath` into it. Returns the loaded window, not
// yet shown, or nullptr after reporting the failure through `report`.
std::unique_ptr<Form1> StartUp(const std::filesystem::path& iniPath, WindowPlatform& platform,
                               StartUpReport& report);

// The start from the command line: loads the velunt.ini that FindIni
// (base/ini_location.h) picks for `options.ini` and this process's
// environment. A drawing on the command line then replaces dxfpath= in
// Label2 and sets the table beside it, as a dropped file does
// (Form1::openDrawing); it need not exist yet (the run reports it). When no velunt.ini is found,
// the report names every place looked at and the example.
std::unique_ptr<Form1> StartUp(const WindowOptions& options, WindowPlatform& platform,
                               StartUpReport& report);

}  // namespace velunt::ui

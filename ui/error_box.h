#pragma once
// How the window shows errors: the run's modal error box, and the report of
// a failure at start-up.
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "base/runtime_error.h"
#include "engine/run_interfaces.h"

class QWidget;

namespace velunt::ui {

// The run's prompt: "Fehler: " and the number, two CR characters, then the
// description.
QString ErrorPrompt(const RuntimeError& error);

// `prompt` as a message box shows it: each CR becomes a line break, so the
// two CRs separate number and description by an empty line.
QString DisplayText(const QString& prompt);

// Shows the run's error box modal over `parent`: critical icon, OK only,
// title "Fehler". Returns when the user has closed it.
void ShowRunErrorBox(QWidget* parent, const RuntimeError& error);

// The warnings after a run that found nothing useful (engine/run_warnings.h):
// one modal information box, title "Hinweis", OK only, the warnings separated
// by empty lines. No beep: the run's own beep has sounded.
void ShowRunWarningBox(QWidget* parent, const std::vector<std::string>& warnings);

// A run's error report in the window: one beep, then the error box. `before`,
// when set, runs first (it closes the progress dialog).
class RunErrorBox : public ErrorReport {
public:
    RunErrorBox(QWidget* parent, std::function<void()> beep, std::function<void()> before = {});
    void show(const RuntimeError& error) override;

private:
    QWidget* m_parent;
    std::function<void()> m_beep;
    std::function<void()> m_before;
};

}  // namespace velunt::ui

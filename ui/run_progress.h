#pragma once
// The window's view of a running extraction. The run stays on the window's
// thread; the core calls progress() after each block of the drawing it has
// read (LineReader::kDefaultBlockSize, 512 KiB). Once the run has lasted
// kShowAfter, a modal
// progress dialog over the window shows the share read and offers
// "Abbrechen"; from then on each call lets the window repaint. The dialog
// blocks the window's input, so the values the run took stay as they were.
// A shorter run shows nothing and lets no event through.
#include <QPointer>
#include <chrono>
#include <cstdint>

#include "engine/run_interfaces.h"

class QProgressDialog;
class QWidget;

namespace velunt::ui {

class RunProgress : public RunObserver {
public:
    static constexpr std::chrono::milliseconds kShowAfter{500};

    // Milliseconds on a steady clock, from any fixed start.
    using Clock = std::int64_t (*)();
    // The clock every RunProgress made from now on times its run with; a
    // test puts in one it advances itself, nullptr the real one again.
    static void useClock(Clock clock);

    // Starts the clock. `parent` is the window the dialog is modal over; it
    // must outlive this object.
    explicit RunProgress(QWidget* parent, std::chrono::milliseconds showAfter = kShowAfter);
    ~RunProgress() override;
    RunProgress(const RunProgress&) = delete;
    RunProgress& operator=(const RunProgress&) = delete;

    // False once the user has pressed "Abbrechen": the run then stops with
    // error 18.
    bool progress(std::uint64_t bytesRead, std::uint64_t totalBytes) override;

    // Stops the run at its next progress() as "Abbrechen" does; for the
    // window closed during the run.
    void cancel() { m_isCancelled = true; }

    // Closes the dialog, before the run's error box or at the end.
    void close();

    bool wasShown() const { return m_wasShown; }

private:
    QWidget* m_parent;
    std::chrono::milliseconds m_showAfter;
    Clock m_now;
    std::int64_t m_start;
    QPointer<QProgressDialog> m_dialog;
    bool m_wasShown = false;
    bool m_isCancelled = false;
};

}  // namespace velunt::ui

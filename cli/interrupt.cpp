#include "cli/interrupt.h"

#include <atomic>
#include <csignal>

#ifdef _WIN32
#include <windows.h>
#endif

namespace velunt::cli {
namespace {

// Set from a signal handler (or, on Windows, the console's handler thread):
// only a lock-free atomic may be touched there.
std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);

// True for the first signal only.
bool noteSignal(int number) {
    int none = 0;
    return g_signal.compare_exchange_strong(none, number);
}

#ifdef _WIN32

BOOL WINAPI onConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    // A second press goes to the default handler, which ends the program.
    return noteSignal(event == CTRL_C_EVENT ? SIGINT : SIGTERM) ? TRUE : FALSE;
}

#else

extern "C" void onSignal(int number) { noteSignal(number); }

void catchSignal(int number) {
    struct sigaction previous {};
    if (::sigaction(number, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) return;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // Reads and writes go on after the handler (a write cut short would
    // leave part of a line); the handler is used once, so a second signal
    // ends the program.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    ::sigaction(number, &action, nullptr);
}

#endif

}  // namespace

void CatchInterrupts() {
#ifdef _WIN32
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
#else
    catchSignal(SIGINT);
    catchSignal(SIGTERM);
#endif
}

int InterruptSignal() { return g_signal.load(); }

int InterruptExitStatus() { return 128 + InterruptSignal(); }

}  // namespace velunt::cli

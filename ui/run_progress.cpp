#include "ui/run_progress.h"

#include <QApplication>
#include <QProgressDialog>

namespace velunt::ui {

namespace {

std::int64_t steadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

RunProgress::Clock g_clock = steadyMilliseconds;

}  // namespace

void RunProgress::useClock(Clock clock) { g_clock = clock ? clock : steadyMilliseconds; }

RunProgress::RunProgress(QWidget* parent, std::chrono::milliseconds showAfter)
    : m_parent(parent), m_showAfter(showAfter), m_now(g_clock), m_start(m_now()) {}

RunProgress::~RunProgress() { close(); }

bool RunProgress::progress(std::uint64_t bytesRead, std::uint64_t totalBytes) {
    if (m_isCancelled) return false;
    if (!m_dialog) {
        if (m_wasShown || m_now() - m_start < m_showAfter.count()) return true;
        m_dialog = new QProgressDialog(QStringLiteral("Auslesen …"), QStringLiteral("Abbrechen"), 0,
                                       100, m_parent);
        m_dialog->setObjectName(QStringLiteral("RunProgress"));
        m_dialog->setWindowTitle(QStringLiteral("VELUNT"));
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->setMinimumDuration(0);
        m_dialog->show();
        m_wasShown = true;
    }
    // A drawing whose size is unknown shows a busy bar.
    if (totalBytes == 0) {
        m_dialog->setMaximum(0);
    } else {
        const std::uint64_t read = bytesRead < totalBytes ? bytesRead : totalBytes;
        m_dialog->setValue(static_cast<int>(read * 100 / totalBytes));
    }
    QApplication::processEvents();
    return m_dialog && !m_dialog->wasCanceled();
}

void RunProgress::close() {
    if (m_dialog) delete m_dialog.data();
}

}  // namespace velunt::ui

#include "ui/error_box.h"

#include <QMessageBox>
#include <utility>

namespace velunt::ui {

QString ErrorPrompt(const RuntimeError& error) {
    return QStringLiteral("Fehler: ") + QString::number(error.number) + QStringLiteral("\r\r") +
           QString::fromStdString(error.description);
}

QString DisplayText(const QString& prompt) {
    QString text = prompt;
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

void ShowRunErrorBox(QWidget* parent, const RuntimeError& error) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Fehler"),
                    DisplayText(ErrorPrompt(error)), QMessageBox::Ok, parent);
    // A description is never markup.
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

void ShowRunWarningBox(QWidget* parent, const std::vector<std::string>& warnings) {
    QString text;
    for (const std::string& warning : warnings) {
        if (!text.isEmpty()) text += QStringLiteral("\n\n");
        text += QString::fromStdString(warning);
    }
    QMessageBox box(QMessageBox::Information, QStringLiteral("Hinweis"), text, QMessageBox::Ok,
                    parent);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

RunErrorBox::RunErrorBox(QWidget* parent, std::function<void()> beep, std::function<void()> before)
    : m_parent(parent), m_beep(std::move(beep)), m_before(std::move(before)) {}

void RunErrorBox::show(const RuntimeError& error) {
    if (m_before) m_before();
    m_beep();
    ShowRunErrorBox(m_parent, error);
}

}  // namespace velunt::ui

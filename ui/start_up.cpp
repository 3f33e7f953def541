#include "ui/start_up.h"

#include <QMessageBox>

namespace velunt::ui {

void StartUpBox::fatal(const QString& message) {
    std::fprintf(m_err, "%s\n", message.toLocal8Bit().constData());
    std::fflush(m_err);
    QMessageBox box(QMessageBox::Critical, QStringLiteral("VELUNT"), message, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

QString StartUpMessage(const std::filesystem::path& iniPath, const RuntimeError& error) {
    const std::u8string name = iniPath.u8string();
    return QString::fromUtf8(reinterpret_cast<const char*>(name.data()),
                             static_cast<qsizetype>(name.size())) +
           QStringLiteral(": Fehler %1: %2")
               .arg(error.number)
               .arg(QString::fromStdString(error.description));
}

std::unique_ptr<Form1> StartUp(const std::filesystem::path& iniPath, WindowPlatform& platform,
                               StartUpReport& report) {
    auto form = std::make_unique<Form1>(platform);
    try {
        form->load(iniPath);
    } catch (const RuntimeError& error) {
        form.reset();
        report.fatal(StartUpMessage(iniPath, error));
        return nullptr;
    }
    return form;
}

}  // namespace velunt::ui

#include "ui/start_up.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>

#include "base/ini_location.h"

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
    } catch (const std::exception& caught) {
        form.reset();
        report.fatal(StartUpMessage(iniPath, CaughtError(caught)));
        return nullptr;
    }
    return form;
}

std::unique_ptr<Form1> StartUp(const WindowOptions& options, WindowPlatform& platform,
                               StartUpReport& report) {
    std::optional<std::filesystem::path> given;
    if (options.ini) given = std::filesystem::path(*options.ini);
    const IniSearch search = FindIni(given, ProcessIniEnvironment());
    if (!search.found) {
        report.fatal(StartUpMessage("velunt.ini", IniNotFoundError(search)));
        return nullptr;
    }
    std::unique_ptr<Form1> form = StartUp(*search.found, platform, report);
    if (form && options.drawing) {
        // The argument holds the file name's bytes as the file system has them.
        const QString drawing = QFile::decodeName(QByteArray::fromStdString(*options.drawing));
        form->openDrawing(QDir::toNativeSeparators(drawing));
    }
    return form;
}

}  // namespace velunt::ui

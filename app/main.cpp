// velunt: the program a user starts. Creates Form1, which loads velunt.ini
// from the working directory before it is shown; closing it ends the
// program.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "ui/start_up.h"
#include "ui/window_look.h"
#include "ui/window_platform.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VELUNT"));
    QApplication::setWindowIcon(velunt::ui::WindowIcon());
    // The window is German; so are Qt's own dialogs and buttons where Qt's
    // translations are installed (qt6-translations-l10n), else they stay
    // English.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    velunt::ui::DesktopPlatform platform;
    velunt::ui::StartUpBox report;
    const std::unique_ptr<velunt::ui::Form1> form =
        velunt::ui::StartUp("velunt.ini", platform, report);
    if (!form) return velunt::ui::kExitStartUpFailed;
    form->show();
    return QApplication::exec();
}

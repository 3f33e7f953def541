// Takes the README's picture of the window: starts Form1 in the working
// directory (where velunt.ini is), shows it, and saves what the screen shows
// of it. Run under a real display server, e.g.
//   cd examples && xvfb-run -s '-screen 0 800x600x24' ../build/tests/ui/velunt_screenshot
//   ../docs/fenster.png
#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "ui/start_up.h"
#include "ui/window_look.h"
#include "ui/window_platform.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: velunt_screenshot FILE.png\n");
        return 64;
    }
    QApplication::setWindowIcon(velunt::ui::WindowIcon());
    velunt::ui::DesktopPlatform platform;
    velunt::ui::StartUpBox report;
    auto form = velunt::ui::StartUp("velunt.ini", platform, report);
    if (!form) return velunt::ui::kExitStartUpFailed;
    form->move(20, 20);
    form->show();
    int status = 1;
    QTimer::singleShot(500, [&] {
        const QRect frame = form->frameGeometry();
        QPixmap shot =
            form->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
        if (shot.isNull()) shot = form->grab();
        status = shot.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
        QApplication::quit();
    });
    QApplication::exec();
    return status;
}

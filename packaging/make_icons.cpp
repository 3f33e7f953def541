// Writes the window's icon as PNG files for the desktop entry, at the sizes
// of the hicolor icon theme, into the folder given as the only argument:
// velunt-16.png ... velunt-256.png.
#include <QGuiApplication>
#include <QPixmap>
#include <QString>
#include <cstdio>

#include "ui/window_look.h"

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: velunt-icons FOLDER\n");
        return 64;
    }
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString file =
            QString::fromLocal8Bit(argv[1]) + "/velunt-" + QString::number(size) + ".png";
        if (!velunt::ui::DrawIcon(size).save(file, "PNG")) {
            std::fprintf(stderr, "velunt-icons: cannot write %s\n", file.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}

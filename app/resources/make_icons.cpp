// Writes the program's icon as PNG files for the desktop's icon theme, so the
// installed menu entry shows the same picture as the window.
#include <QGuiApplication>
#include <QPixmap>
#include <QString>
#include <cstdio>

#include "resources/app_icon.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: cindral-icons OUTDIR SIZE...\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    const QString dir = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        bool ok = false;
        const int size = QString::fromLocal8Bit(argv[i]).toInt(&ok);
        if (!ok || size < 8 || size > 1024) {
            std::fprintf(stderr, "cindral-icons: bad size %s\n", argv[i]);
            return 2;
        }
        const QString path = QStringLiteral("%1/cindral-%2.png").arg(dir).arg(size);
        if (!cindral::AppIconPixmap(size).save(path, "PNG")) {
            std::fprintf(stderr, "cindral-icons: cannot write %s\n",
                         path.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}

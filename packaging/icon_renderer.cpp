// bildoro-icon-renderer: writes the program's icon as PNG files for the installed icon theme folders.
//   bildoro-icon-renderer OUT_DIR SIZE...  writes OUT_DIR/<SIZE>x<SIZE>/apps/bildoro.png for every SIZE
#include "icons.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QString>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bildoro-icon-renderer OUT_DIR SIZE...\n");
        return 2;
    }
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        bool ok = false;
        const int size = QString::fromLocal8Bit(argv[i]).toInt(&ok);
        if (!ok || size < 1 || size > 1024) {
            std::fprintf(stderr, "bildoro-icon-renderer: '%s' is not an icon size (1 to 1024 pixels)\n",
                         argv[i]);
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing, true);
            PaintApplicationIcon(painter, size);
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(outDir).arg(size);
        const QString file = folder + QStringLiteral("/bildoro.png");
        if (!QDir().mkpath(folder) || !image.convertToFormat(QImage::Format_ARGB32).save(file, "PNG")) {
            std::fprintf(stderr, "bildoro-icon-renderer: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}

// Writes the program's icon for the desktop's icon theme, from the drawing the program paints:
//   evenfall-render-icons FOLDER NAME
// gives FOLDER/NxN/apps/NAME.png for every size the theme commonly asks for and
// FOLDER/scalable/apps/NAME.svg, laid out as the hicolor theme is.

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QSaveFile>
#include <QString>

#include <cstdio>

#include "AppIcon.h"

namespace {

bool fail(const QString &path)
{
    std::fprintf(stderr, "evenfall-render-icons: cannot write %s\n", qPrintable(path));
    return false;
}

bool writePng(const QString &path, int size)
{
    return (QDir().mkpath(QFileInfo(path).path()) && appIconImage(size).save(path, "PNG")) || fail(path);
}

bool writeSvg(const QString &path)
{
    const QByteArray svg = appIconSvg();
    QSaveFile file(path);
    return (QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
            file.write(svg) == svg.size() && file.commit()) ||
           fail(path);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "Usage: evenfall-render-icons FOLDER NAME\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        if (!writePng(QStringLiteral("%1/%2x%2/apps/%3.png").arg(folder, QString::number(size), name), size))
            return 1;
    }
    return writeSvg(QStringLiteral("%1/scalable/apps/%2.svg").arg(folder, name)) ? 0 : 1;
}

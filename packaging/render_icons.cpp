// Writes the program's icon for the desktop's icon theme, from the drawing the program paints:
//   evenfall-render-icons FOLDER NAME
// gives FOLDER/NxN/apps/NAME.png for every size the theme commonly asks for and
// FOLDER/scalable/apps/NAME.svg, laid out as the hicolor theme is;
//   evenfall-render-icons --ico FILE.ico
// gives the Windows icon of the programs, every size in one file.

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QSaveFile>
#include <QString>

#include <QtEndian>

#include <cstdio>
#include <cstring>

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

// An .ico whose images are PNG files, which Windows reads at every size since Vista; the large ones stay
// small that way.
bool writeIco(const QString &path)
{
    const QList<int> sizes{16, 20, 24, 32, 40, 48, 64, 256};
    QByteArray header(6 + 16 * sizes.size(), '\0');
    auto put16 = [&header](qsizetype at, quint16 value) { qToLittleEndian(value, header.data() + at); };
    auto put32 = [&header](qsizetype at, quint32 value) { qToLittleEndian(value, header.data() + at); };
    put16(2, 1); // an icon, not a cursor
    put16(4, quint16(sizes.size()));
    QByteArray images;
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        QByteArray png;
        QBuffer buffer(&png);
        if (!buffer.open(QIODevice::WriteOnly) || !appIconImage(sizes[i]).save(&buffer, "PNG"))
            return fail(path);
        const qsizetype entry = 6 + 16 * i;
        header[entry] = char(sizes[i] & 0xff); // 256 is written as 0
        header[entry + 1] = char(sizes[i] & 0xff);
        put16(entry + 4, 1);  // colour planes
        put16(entry + 6, 32); // bits a pixel
        put32(entry + 8, quint32(png.size()));
        put32(entry + 12, quint32(header.size() + images.size()));
        images += png;
    }
    QSaveFile file(path);
    return (file.open(QIODevice::WriteOnly) && file.write(header + images) == header.size() + images.size() &&
            file.commit()) ||
           fail(path);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 3 && std::strcmp(argv[1], "--ico") == 0)
        return writeIco(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    if (argc != 3) {
        std::fprintf(
            stderr,
            "Usage: evenfall-render-icons FOLDER NAME\n       evenfall-render-icons --ico FILE.ico\n");
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

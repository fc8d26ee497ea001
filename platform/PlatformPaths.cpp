#include "PlatformPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QtGlobal>

namespace platformpaths {

QString winePrefix()
{
    const QString fromEnvironment = qEnvironmentVariable("WINEPREFIX");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QDir::homePath() + QStringLiteral("/.wine");
}

bool isSeparator(QChar c)
{
    // Windows itself accepts "/" too, and Qt's dialogs may hand paths back with it.
    return c == u'\\' || c == u'/';
}

qsizetype lastSeparator(const QString &path)
{
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        if (isSeparator(path[i]))
            return i;
    }
    return -1;
}

bool isDrivePath(const QString &path)
{
    return path.size() >= 2 && path[1] == u':' && path[0].isLetter() && path[0].unicode() < 128 &&
           (path.size() == 2 || isSeparator(path[2]));
}

QString toLocalPath(const QString &path)
{
#ifdef Q_OS_WIN
    return path;
#else
    if (!isDrivePath(path)) {
        QString local = path;
        local.replace(u'\\', u'/');
        return local;
    }
    const QString prefix = winePrefix();
    const QChar drive = path[0].toLower();
    QString rest = path.mid(2);
    rest.replace(u'\\', u'/');
    QString root = prefix + QStringLiteral("/dosdevices/") + drive + u':';
    if (!QFileInfo::exists(root) && drive == u'c')
        root = prefix + QStringLiteral("/drive_c");
    return root + rest;
#endif
}

QString commandLinePath(const QString &path)
{
    return isDrivePath(path) ? toLocalPath(path) : path;
}

} // namespace platformpaths

#include "RecentLogs.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include "ReaderSettings.h"

namespace recentlogs {
namespace {

const QString kKey = QStringLiteral("RecentLogs");

QString normalised(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

bool samePath(const QString &a, const QString &b)
{
#ifdef Q_OS_WIN
    const Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
    const Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    return normalised(a).compare(normalised(b), cs) == 0;
}

QStringList withLogFirst(const QStringList &list, const QString &path)
{
    QStringList result = withoutLog(list, path);
    result.prepend(normalised(path));
    if (result.size() > kMaxLogs)
        result.resize(kMaxLogs);
    return result;
}

QStringList withoutLog(const QStringList &list, const QString &path)
{
    QStringList result;
    for (const QString &entry : list) {
        if (!samePath(entry, path))
            result.append(entry);
    }
    return result;
}

QStringList load()
{
    QSettings store = readersettings::store();
    QStringList result;
    const QStringList stored = store.value(kKey).toStringList();
    // Built from the oldest, so that of two entries for one file the more recent stays.
    for (auto it = stored.crbegin(); it != stored.crend(); ++it) {
        if (!it->isEmpty())
            result = withLogFirst(result, *it);
    }
    return result;
}

void save(const QStringList &list)
{
    QSettings store = readersettings::store();
    store.setValue(kKey, list);
}

} // namespace recentlogs

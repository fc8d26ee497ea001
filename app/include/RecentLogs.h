#pragma once

#include <QString>
#include <QStringList>

// The logs imported last, most recent first, kept between runs in the user's settings (organisation
// "KestrelGames", application "Evenfall Chat Log Reader", in an INI file on every system). GUI-free.
namespace recentlogs {

inline constexpr qsizetype kMaxLogs = 8;

// Whether two local paths name the same file as the list compares them: after making them absolute and
// clean, exactly, or ignoring case on Windows.
bool samePath(const QString &a, const QString &b);

// list with path put first (absolute and clean): an entry for the same file is moved rather than
// repeated, and the list is cut to kMaxLogs.
QStringList withLogFirst(const QStringList &list, const QString &path);

// list without any entry for path.
QStringList withoutLog(const QStringList &list, const QString &path);

// The stored list, cleaned of empty and repeated entries and cut to kMaxLogs; empty when nothing is
// stored or the settings cannot be read.
QStringList load();
void save(const QStringList &list);

} // namespace recentlogs

#include "FileListBox.h"

#include <QDir>
#include <QFileInfo>

FileListBox::FileListBox(QObject *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("flstFileName"));
}

bool FileListBox::canList(const QString &local, const QString &folder, Error *error)
{
    const QFileInfo info(local);
    if (!info.exists() || !info.isDir()) {
        *error = {76, QStringLiteral("Path not found: %1").arg(folder)};
        return false;
    }
    if (!info.isReadable() || !QDir(local).isReadable()) {
        *error = {75, QStringLiteral("Path/File access error: %1").arg(folder)};
        return false;
    }
    return true;
}

bool FileListBox::setPath(const QString &folder, Error *error)
{
    if (folder.isEmpty()) {
        path_.clear();
        items_.clear();
        return true;
    }
    const QString local = toLocalPath ? toLocalPath(folder) : folder;
    if (!canList(local, folder, error))
        return false;
    QDir dir(local);
#ifdef Q_OS_WIN
    const QDir::SortFlags order = QDir::Unsorted;
    const QDir::Filters caseRule = {};
#else
    const QDir::SortFlags order = QDir::Name;
    const QDir::Filters caseRule = QDir::CaseSensitive;
#endif
    dir.setFilter(QDir::Files | caseRule);
    dir.setNameFilters({pattern});
    dir.setSorting(order);
    path_ = folder;
    items_ = dir.entryList();
    return true;
}

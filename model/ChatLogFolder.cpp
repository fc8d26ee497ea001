#include "ChatLogFolder.h"

#include <QFileInfo>

#include <algorithm>
#include <new>

namespace modMain {

namespace {

LoadResult failed(LoadStatus status, const QString &errorText)
{
    LoadResult result;
    result.status = status;
    result.errorText = errorText;
    return result;
}

} // namespace

bool isSessionLogName(QStringView name)
{
    constexpr QStringView kPrefix = u"client_chat_log_", kSuffix = u".txt";
    return name.size() >= kPrefix.size() + kSuffix.size() && name.startsWith(kPrefix, Qt::CaseInsensitive) &&
           name.endsWith(kSuffix, Qt::CaseInsensitive);
}

void sortSessionLogNames(QStringList &names)
{
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
}

LoadResult loadChatLogs(const QStringList &paths, const LoadOptions &options, QString *failedPath,
                        const OpenLogFile &open, const LogFileRead &fileRead)
{
    auto failAt = [&](const QString &path, LoadStatus status, const QString &errorText) {
        if (failedPath)
            *failedPath = path;
        return failed(status, errorText);
    };
    // The sizes up front, so that the progress of the whole load can be told from the first file on.
    qint64 total = 0;
    for (const QString &path : paths)
        total += QFileInfo(path).size();

    LoadResult joined;
    joined.status = LoadStatus::NoLines;
    qint64 before = 0; // bytes of the files already read
    QString current;
    try {
        for (const QString &path : paths) {
            current = path;
            if (options.cancel && options.cancel->load())
                return failed(LoadStatus::Cancelled, {});
            QFile file;
            QString openError;
            if (open ? !open(file, path, &openError)
                     : !(file.setFileName(path), file.open(QIODevice::ReadOnly)))
                return failAt(path, LoadStatus::FileError, open ? openError : file.errorString());
            LoadOptions fileOptions = options;
            qint64 read = 0;
            if (options.progress) {
                fileOptions.progress = [&](qint64 bytesRead, qint64) {
                    read = bytesRead;
                    options.progress(before + bytesRead, std::max(total, before + bytesRead));
                };
            }
            LoadResult one = LoadChatLog(file, fileOptions);
            before += std::max(read, file.size());
            if (fileRead && (one.status == LoadStatus::Loaded || one.status == LoadStatus::NoLines))
                fileRead(file, path);
            switch (one.status) {
            case LoadStatus::Loaded:
                break;
            case LoadStatus::NoLines: // a session without a chat line
                continue;
            case LoadStatus::Cancelled:
                return failed(LoadStatus::Cancelled, {});
            case LoadStatus::FileError:
            case LoadStatus::OutOfMemory:
                return failAt(path, one.status, one.errorText);
            }
            if (joined.status != LoadStatus::Loaded) {
                joined = std::move(one);
                continue;
            }
            joined.log.append(std::move(one.log));
        }
    } catch (const std::bad_alloc &) {
        // The records joined so far are freed before the caller sees the failure.
        return failAt(current, LoadStatus::OutOfMemory, QStringLiteral("Not enough memory"));
    }
    return joined;
}

} // namespace modMain

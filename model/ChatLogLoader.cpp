#include <QFile>

#include <new>

#include "ReadInParts.h"

namespace modMain {
namespace detail {

LoadResult failure(LoadStatus status, const QString &errorText)
{
    LoadResult result;
    result.status = status;
    result.errorText = errorText;
    return result;
}

LoadResult fileCutShort(qint64 read, qint64 sizeAtOpen)
{
    return failure(LoadStatus::FileError,
                   QStringLiteral("The file became shorter while it was being read (%1 of %2 bytes)")
                       .arg(read)
                       .arg(sizeAtOpen));
}

} // namespace detail

namespace {

using detail::failure;

// The records of the device's lines, in one pass from where it stands, on this thread.
LoadResult readLog(QIODevice &file, const LoadOptions &options)
{
    detail::LogBuilder builder;
    LoadResult result = detail::readInOneGo(file, options, builder);
    if (result.status == LoadStatus::Loaded) {
        result.log.ChatLog = builder.take();
        result.log.ChatNames = result.log.ChatLog.chatNames();
    }
    return result;
}

LoadResult loadLog(QIODevice &device, const LoadOptions &options)
{
    if (std::optional<LoadResult> inParts = detail::loadInParts(device, options))
        return std::move(*inParts);
    return readLog(device, options);
}

} // namespace

LoadResult LoadChatLog(const QString &path, const LoadOptions &options)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(LoadStatus::FileError, file.errorString());
    return LoadChatLog(file, options);
}

LoadResult LoadChatLog(QIODevice &device, const LoadOptions &options)
{
    try {
        return loadLog(device, options);
    } catch (const std::bad_alloc &) {
        // Whatever was read so far was freed on the way here, so there is room to say so.
        return failure(LoadStatus::OutOfMemory, QStringLiteral("Not enough memory"));
    }
}

} // namespace modMain

#include "ReadInParts.h"

namespace modMain::detail {
namespace {

// A part for about this many bytes, so that the work stays even when one core is slower than another.
constexpr qint64 kPartBytes = qint64(32) << 20;
// Below this, starting threads costs more than they save.
constexpr qint64 kPartsFrom = qint64(4) << 20;

} // namespace

PartPlan planParts(QIODevice &device, const LoadOptions &options)
{
    auto *file = qobject_cast<QFileDevice *>(&device);
    const int handle = file && !device.isSequential() ? file->handle() : -1;
    if (handle < 0)
        return {};
    const qint64 size = device.size() - device.pos();
    if (options.parts <= 0 && size < kPartsFrom)
        return {}; // a small log, one of many a folder may hold: no need to ask for the cores
    const int cores = std::max(QThread::idealThreadCount(), 1);
    qint64 parts = options.parts;
    if (parts <= 0)
        parts = size < kPartsFrom || cores < 2
                    ? 1
                    : std::max<qint64>(cores, (size + kPartBytes - 1) / kPartBytes);
    parts = std::min<qint64>(parts, std::max<qint64>(size, 1));
    if (parts <= 1)
        return {};
    return PartPlan{file, handle, int(parts), int(std::min<qint64>(parts, cores))};
}

std::optional<LoadResult> loadInParts(QIODevice &device, const LoadOptions &options)
{
    const PartPlan plan = planParts(device, options);
    if (plan.parts <= 1)
        return std::nullopt;
    QList<LogBuilder> built;
    LoadResult result = readInParts(*plan.file, plan.handle, plan.parts, plan.threads, options, &built);
    if (result.status != LoadStatus::Loaded)
        return result;
    for (LogBuilder &part : built)
        result.log.ChatLog.append(part.take());
    result.log.ChatNames = result.log.ChatLog.chatNames();
    result.status = result.log.ChatLog.isEmpty() ? LoadStatus::NoLines : LoadStatus::Loaded;
    return result;
}

} // namespace modMain::detail

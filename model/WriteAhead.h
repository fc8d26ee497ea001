#pragma once

#include <QtGlobal>

#include <algorithm>

#include "MemoryPages.h"

namespace modMain::detail {

inline constexpr qsizetype kSmallBuffer = qsizetype(64) << 10;

// Maps the pages of a buffer that is about to be written, step bytes (a power of two) at a time. A page
// first met by a write costs a fault of its own, and on fresh memory faults are most of what a load
// and a chat's text spend; one call for many pages costs a fraction of that. Called before writing
// base[from, to) in a buffer with room for capacity bytes, it maps the step that the write ends in
// when the write enters it, never beyond the buffer's room; at most a step is taken before it is
// written. Where the system cannot do it, the pages fault one by one as before.
inline void writeAhead(const void *base, qsizetype from, qsizetype to, qsizetype capacity,
                       qsizetype step = qsizetype(1) << 20)
{
#ifdef Q_OS_LINUX
    // A buffer of a few pages (a small log's) faults them in for less than a call to map them.
    if (capacity <= kSmallBuffer)
        return;
    const auto kStep = quintptr(step);
    const auto b = quintptr(base);
    const quintptr window = (b + quintptr(to)) & ~(kStep - 1);
    if (from != 0 && ((b + quintptr(from)) & ~(kStep - 1)) == window)
        return;
    const quintptr lo = std::max(window, b + quintptr(from));
    const quintptr hi = std::min(window + kStep, b + quintptr(capacity));
    memorypages::prepareForWrite(reinterpret_cast<const void *>(lo), reinterpret_cast<const void *>(hi));
#else
    Q_UNUSED(base);
    Q_UNUSED(from);
    Q_UNUSED(to);
    Q_UNUSED(capacity);
    Q_UNUSED(step);
#endif
}

} // namespace modMain::detail

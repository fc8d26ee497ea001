#include "MemoryPages.h"

#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace memorypages {

void prepareForWrite(const void *begin, const void *end)
{
#ifdef Q_OS_LINUX
#ifdef MADV_POPULATE_WRITE
    constexpr int kPopulateWrite = MADV_POPULATE_WRITE;
#else
    constexpr int kPopulateWrite = 23; // Linux 5.14; older kernels refuse it and nothing changes
#endif
    static const auto kPage = quintptr(::sysconf(_SC_PAGESIZE));
    const quintptr lo = quintptr(begin) & ~(kPage - 1);
    const auto hi = quintptr(end);
    if (hi > lo)
        ::madvise(reinterpret_cast<void *>(lo), hi - lo, kPopulateWrite);
#else
    Q_UNUSED(begin);
    Q_UNUSED(end);
#endif
}

} // namespace memorypages

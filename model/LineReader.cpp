#include "LineReader.h"

#include <QByteArray>

#include <algorithm>

#include "LocalFiles.h"

namespace modMain::detail {

LineStart lineStartBefore(int handle, qint64 position, qint64 floor, LogEncoding encoding, QString *error)
{
    const qint64 unit = unitSize(encoding);
    auto unitAt = [&](const char *p) -> char16_t {
        const auto first = static_cast<unsigned char>(p[0]), second = static_cast<unsigned char>(p[1]);
        return encoding == LogEncoding::Utf16LE ? char16_t(first | second << 8)
                                                : char16_t(second | first << 8);
    };
    constexpr qint64 kBlock = qint64(1) << 16;
    QByteArray block(kBlock, Qt::Uninitialized);
    while (position > floor) {
        const qint64 from = position - std::min(kBlock, position - floor);
        qint64 got = 0;
        for (qint64 n = 1; n > 0 && from + got < position; got += n) {
            n = localfiles::readAt(handle, from + got, block.data() + got, position - from - got, error);
            if (n < 0)
                return {};
        }
        const char *begin = block.constData();
        qint64 last = -1; // the offset in the block of the last line end
        if (unit == 1) {
            const char *end = findLastLineEnd(begin, begin + got);
            last = end ? end - begin : -1;
        } else {
            for (qint64 i = got - got % unit - unit; i >= 0 && last < 0; i -= unit) {
                if (const char16_t c = unitAt(begin + i); c == u'\r' || c == u'\n')
                    last = i;
            }
        }
        if (last >= 0) {
            const bool afterCr = unit == 1 ? begin[last] == '\r' : unitAt(begin + last) == u'\r';
            return {from + last + unit, true, afterCr};
        }
        position = from;
    }
    return {floor, false, false};
}

} // namespace modMain::detail

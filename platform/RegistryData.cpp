#include "RegistryData.h"

namespace modRegistryTools {

bool valueFromData(quint32 type, QByteArrayView data, QString &value)
{
    value.clear();
    if (data.size() > kMaxValueBytes)
        return false;
    if (data.isEmpty())
        return true;

    const auto byteAt = [data](qsizetype i) {
        return i < data.size() ? static_cast<uchar>(data[i]) : uchar(0);
    };
    switch (type) {
    case RegSz: {
        // Neither the terminating zero nor an even size is guaranteed: a lone last byte reads as a
        // character with a zero high byte, as it would from a zero-filled buffer.
        const qsizetype units = (data.size() + 1) / 2;
        value.resize(units);
        for (qsizetype i = 0; i < units; ++i)
            value[i] = QChar(static_cast<char16_t>(byteAt(2 * i) | byteAt(2 * i + 1) << 8));
        if (value.back() == u'\0')
            value.chop(1);
        return true;
    }
    case RegDword: {
        // Read as unsigned: 2^31 and above give their positive decimal text. Short data counts as
        // zero-filled, as in a zeroed buffer.
        quint32 number = 0;
        for (int i = 0; i < 4; ++i)
            number |= quint32(byteAt(i)) << (8 * i);
        value = QString::number(number);
        return true;
    }
    default:
        // Readable, but nothing callers can use as text.
        return true;
    }
}

} // namespace modRegistryTools

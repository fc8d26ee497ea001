#include "NativeNames.h"

namespace nativenames {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// The length of the well-formed UTF-8 sequence at the start of bytes, or 0.
qsizetype sequenceLength(QByteArrayView bytes)
{
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (bytes.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    }
    return length;
}

bool isEscape(QStringView text, qsizetype i)
{
    const char16_t c = text[i].unicode();
    // A low surrogate that follows a high one is half of a character, not an escaped byte.
    return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF && (i == 0 || !text[i - 1].isHighSurrogate());
}

} // namespace

QString fromNative(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    qsizetype valid = 0; // start of the run of valid UTF-8 not yet decoded
    for (qsizetype i = 0; i < bytes.size();) {
        const qsizetype length = sequenceLength(bytes.sliced(i));
        if (length > 0) {
            i += length;
            continue;
        }
        text += QString::fromUtf8(bytes.sliced(valid, i - valid));
        text += QChar(char16_t(kEscapeBase + static_cast<unsigned char>(bytes[i])));
        valid = ++i;
    }
    return text + QString::fromUtf8(bytes.sliced(valid));
}

QByteArray toNative(QStringView text)
{
    QByteArray bytes;
    qsizetype plain = 0; // start of the run of text without escapes not yet encoded
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isEscape(text, i))
            continue;
        bytes += text.sliced(plain, i - plain).toUtf8();
        bytes += static_cast<char>(text[i].unicode() - kEscapeBase);
        plain = i + 1;
    }
    return bytes + text.sliced(plain).toUtf8();
}

bool hasRawBytes(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isEscape(text, i))
            return true;
    }
    return false;
}

} // namespace nativenames

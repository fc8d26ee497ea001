#include "TextOutput.h"

#include <QByteArray>
#include <QStringEncoder>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace chatlogcli {
namespace {

constexpr qsizetype kBlockChars = qsizetype(1) << 20;

#ifdef Q_OS_WIN
constexpr bool kKeepCrLf = true;
#else
constexpr bool kKeepCrLf = false;
#endif

// Removes the CR of every CR LF in [begin, end) in place; returns the new end. A lone CR stays.
char *dropCrOfCrLf(char *begin, char *end)
{
    char *write = begin;
    const char *read = begin;
    for (;;) {
        const auto *cr = static_cast<const char *>(std::memchr(read, '\r', end - read));
        const char *stop = cr ? cr : end;
        std::memmove(write, read, stop - read);
        write += stop - read;
        if (!cr)
            return write;
        if (cr + 1 == end || cr[1] != '\n')
            *write++ = '\r';
        read = cr + 1;
    }
}

int writeError()
{
    return errno != 0 ? errno : EIO;
}

} // namespace

int writeText(std::FILE *stream, QStringView text)
{
    QStringEncoder encoder(QStringEncoder::Utf8);
    // One more character than a block, for the LF kept with its CR.
    QByteArray buffer(encoder.requiredSpace(kBlockChars + 1), Qt::Uninitialized);
    for (qsizetype at = 0; at < text.size();) {
        qsizetype end = std::min(text.size(), at + kBlockChars);
        if (end < text.size() && text[end - 1] == u'\r')
            ++end; // a CR LF is never split between blocks, so each block drops its own CRs
        char *stop = encoder.appendToBuffer(buffer.data(), text.sliced(at, end - at));
        if (!kKeepCrLf)
            stop = dropCrOfCrLf(buffer.data(), stop);
        const size_t size = stop - buffer.data();
        errno = 0;
        if (std::fwrite(buffer.constData(), 1, size, stream) != size)
            return writeError();
        at = end;
    }
    errno = 0;
    if (std::fflush(stream) != 0)
        return writeError();
    return 0;
}

} // namespace chatlogcli

#include "TextOutput.h"

#include <QDir>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "NativeNames.h"
#include "TextCodec.h"
#include "TextFileWriter.h"

namespace chatlogcli {
namespace {

constexpr qsizetype kBlockBytes = qsizetype(1) << 20;
constexpr qsizetype kSliceChars = qsizetype(1) << 18; // a long text is encoded this much at a time
constexpr qsizetype kHeldInMemory = qsizetype(8) << 20;

#ifdef Q_OS_WIN
constexpr QByteArrayView kStreamLineEnd = "\r\n";
#else
constexpr QByteArrayView kStreamLineEnd = "\n";
#endif
constexpr QByteArrayView kFileLineEnd = "\r\n";

// Encodes text as UTF-8 at out, which has room for three bytes a character; returns the end. Runs of
// ASCII, nearly all of a log, go eight characters at a time. A surrogate that is not half of a pair
// becomes U+FFFD, as Qt's encoder writes it.
char *encodeUtf8(QStringView text, char *out)
{
    const char16_t *p = text.utf16();
    const char16_t *const end = p + text.size();
    while (p < end) {
#if defined(__SSE2__)
        const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
        while (end - p >= 8) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
            if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, high), _mm_setzero_si128())) != 0xFFFF)
                break;
            _mm_storel_epi64(reinterpret_cast<__m128i *>(out), _mm_packus_epi16(v, v));
            p += 8;
            out += 8;
        }
        if (p == end)
            break;
#endif
        const char16_t c = *p++;
        if (c < 0x80) {
            *out++ = static_cast<char>(c);
        } else if (c < 0x800) {
            *out++ = static_cast<char>(0xC0 | (c >> 6));
            *out++ = static_cast<char>(0x80 | (c & 0x3F));
        } else if (QChar::isHighSurrogate(c) && p < end && QChar::isLowSurrogate(*p)) {
            const char32_t u = QChar::surrogateToUcs4(c, *p++);
            *out++ = static_cast<char>(0xF0 | (u >> 18));
            *out++ = static_cast<char>(0x80 | ((u >> 12) & 0x3F));
            *out++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (u & 0x3F));
        } else {
            const char16_t u = QChar::isSurrogate(c) ? char16_t(QChar::ReplacementCharacter) : c;
            *out++ = static_cast<char>(0xE0 | (u >> 12));
            *out++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return out;
}

int lastError()
{
    return errno != 0 ? errno : EIO;
}

// A temporary file open for reading and writing that the system removes with its last descriptor, or
// nullptr. Where a file that is open cannot lose its name (Windows), it is removed when closed.
std::unique_ptr<QFile> openSpill()
{
    auto file =
        std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/evenfall-chatlog-XXXXXX"));
    if (!file->open())
        return nullptr;
    if (QFile::remove(file->fileName()))
        file->setAutoRemove(false);
    return file;
}

} // namespace

TextOutput::TextOutput(std::FILE *stream) : stream_(stream), block_(kBlockBytes, Qt::Uninitialized) {}

TextOutput::TextOutput(const QString &path, const QString &shownPath)
    : file_(std::make_unique<modMain::TextFileWriter>(path)), shownPath_(shownPath), utf8_(false),
      block_(kBlockBytes, Qt::Uninitialized)
{
}

TextOutput::~TextOutput() = default;

void TextOutput::reserve(qsizetype bytes)
{
    if (block_.size() - used_ >= bytes)
        return;
    flushBlock();
    if (block_.size() < bytes)
        block_.resize(bytes);
}

void TextOutput::append(QStringView text)
{
    while (!text.isEmpty()) {
        qsizetype take = std::min(text.size(), kSliceChars);
        if (take < text.size() && text[take - 1].isHighSurrogate())
            ++take; // a pair is never cut in two
        const QStringView slice = text.first(take);
        text = text.sliced(take);
        if (utf8_) {
            reserve(3 * slice.size());
            used_ = encodeUtf8(slice, block_.data() + used_) - block_.constData();
        } else {
            appendBytes(modMain::encodeAnsi(slice));
        }
    }
    if (used_ >= kBlockBytes)
        flushBlock();
}

void TextOutput::appendBytes(QByteArrayView bytes)
{
    reserve(bytes.size());
    std::memcpy(block_.data() + used_, bytes.data(), size_t(bytes.size()));
    used_ += bytes.size();
}

void TextOutput::appendName(QStringView name)
{
    if (!utf8_) {
        append(name);
        return;
    }
    // A search prints the same name on many lines.
    if (name != lastName_) {
        lastName_ = name.toString();
        lastNameBytes_ = nativenames::toNative(name);
    }
    appendBytes(lastNameBytes_);
}

void TextOutput::appendStamp(double days)
{
    char16_t stamp[21];
    stamp[0] = u'[';
    stamps_.formatTo(days, stamp + 1);
    stamp[20] = u']';
    append(QStringView(stamp, 21));
}

void TextOutput::endLine()
{
    appendBytes(utf8_ ? kStreamLineEnd : kFileLineEnd);
}

void TextOutput::appendLines(QStringView text)
{
    for (qsizetype at = 0; at < text.size();) {
        const qsizetype end = text.indexOf(u"\r\n", at);
        append(text.sliced(at, (end < 0 ? text.size() : end) - at));
        if (end < 0)
            break;
        endLine();
        at = end + 2;
    }
}

void TextOutput::hold()
{
    holding_ = true;
}

void TextOutput::release()
{
    holding_ = false;
    if (spill_) {
        QByteArray chunk(kBlockBytes, Qt::Uninitialized);
        if (!spill_->seek(0))
            errorText_ = QStringLiteral("cannot read back the output held in a temporary file: %1")
                             .arg(spill_->errorString());
        while (!failed()) {
            const qint64 got = spill_->read(chunk.data(), chunk.size());
            if (got <= 0) {
                if (got < 0)
                    errorText_ = QStringLiteral("cannot read back the output held in a temporary file: %1")
                                     .arg(spill_->errorString());
                break;
            }
            deliver(chunk.constData(), qsizetype(got));
        }
        spill_.reset();
    }
    deliver(held_.constData(), held_.size());
    held_ = QByteArray();
}

void TextOutput::drop()
{
    used_ = 0;
    held_ = QByteArray();
    spill_.reset();
}

void TextOutput::flushBlock()
{
    handOn(block_.constData(), used_);
    used_ = 0;
}

void TextOutput::handOn(const char *data, qsizetype size)
{
    if (size == 0 || failed())
        return;
    if (!holding_) {
        deliver(data, size);
        return;
    }
    QString error;
    if (!spill_ && held_.size() + size > kHeldInMemory) {
        // Where no temporary file can be made, memory will do.
        spill_ = openSpill();
        if (spill_ && !modMain::writeWhole(*spill_, held_, &error)) {
            errorText_ = QStringLiteral("cannot hold the output in a temporary file: %1").arg(error);
            return;
        }
        if (spill_)
            held_ = QByteArray();
    }
    if (!spill_)
        held_.append(data, size);
    else if (!modMain::writeWhole(*spill_, QByteArrayView(data, size), &error))
        errorText_ = QStringLiteral("cannot hold the output in a temporary file: %1").arg(error);
}

void TextOutput::deliver(const char *data, qsizetype size)
{
    if (size == 0 || failed())
        return;
    if (file_) {
        QString error;
        if (!fileOpened_) {
            fileOpened_ = true;
            if (!file_->open(&error)) {
                errorText_ = shownPath_ + QStringLiteral(": ") + error;
                return;
            }
        }
        if (!file_->write(QByteArrayView(data, size), &error))
            errorText_ = shownPath_ + QStringLiteral(": ") + error;
        return;
    }
    if (!stream_) {
        errorText_ = QStringLiteral("standard output is closed");
        return;
    }
    errno = 0;
    if (std::fwrite(data, 1, size_t(size), stream_) != size_t(size))
        error_ = lastError();
}

bool TextOutput::finish()
{
    if (holding_)
        release();
    flushBlock();
    if (failed())
        return false;
    if (file_) {
        QString error;
        if ((!fileOpened_ && !file_->open(&error)) || !file_->commit(&error))
            errorText_ = shownPath_ + QStringLiteral(": ") + error;
        fileOpened_ = true;
    } else if (!stream_) {
        errorText_ = QStringLiteral("standard output is closed");
    } else {
        errno = 0;
        if (std::fflush(stream_) != 0)
            error_ = lastError();
    }
    return !failed();
}

bool TextOutput::brokenPipe() const
{
    return error_ == EPIPE;
}

QString TextOutput::message() const
{
    if (!errorText_.isEmpty())
        return errorText_;
    return QStringLiteral("cannot write to standard output: %1")
        .arg(QString::fromLocal8Bit(std::strerror(error_)));
}

} // namespace chatlogcli

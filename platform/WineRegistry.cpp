#include "WineRegistry.h"

#include "LocalFiles.h"
#include "RegistryData.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QStringList>

#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

namespace modRegistryTools {
namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isOctalDigit(char c)
{
    return c >= '0' && c <= '7';
}

// Consumes literal at pos when the text continues with it.
bool skip(QByteArrayView text, qsizetype &pos, QByteArrayView literal)
{
    if (!text.sliced(pos).startsWith(literal))
        return false;
    pos += literal.size();
    return true;
}

// Reads 1 to maxDigits hex digits at pos.
bool readHex(QByteArrayView text, qsizetype &pos, int maxDigits, quint32 &number)
{
    number = 0;
    int digits = 0;
    for (; digits < maxDigits && pos < text.size() && hexDigit(text[pos]) >= 0; ++digits)
        number = number * 16 + quint32(hexDigit(text[pos++]));
    return digits > 0;
}

// The C-style single-letter escapes Wine writes for control characters.
constexpr std::string_view kEscapeLetters = "abefnrtv";
constexpr char16_t kEscapedControls[] = u"\a\b\x1b\f\n\r\t\v";

// Reads an escaped name or string from pos up to its unescaped closing character, which it consumes.
// Plain bytes are Latin-1, as Wine reads them; Wine writes every other character as an escape.
bool readEscaped(QByteArrayView text, qsizetype &pos, char close, QString &out)
{
    out.clear();
    while (pos < text.size()) {
        const char c = text[pos++];
        if (c == close)
            return true;
        if (c != '\\') {
            out += QLatin1Char(c);
            continue;
        }
        if (pos == text.size())
            return false;
        const char escaped = text[pos++];
        if (const size_t letter = kEscapeLetters.find(escaped); letter != std::string_view::npos) {
            out += kEscapedControls[letter];
        } else if (escaped == 'x') {
            quint32 unit = 0;
            out += readHex(text, pos, 4, unit) ? QChar(static_cast<char16_t>(unit)) : QChar(u'x');
        } else if (isOctalDigit(escaped)) {
            int unit = escaped - '0';
            for (int more = 0; more < 2 && pos < text.size() && isOctalDigit(text[pos]); ++more)
                unit = unit * 8 + (text[pos++] - '0');
            out += QChar(static_cast<char16_t>(unit));
        } else {
            out += QLatin1Char(escaped); // "\\", "\"", "\[", "\]" and anything unknown
        }
    }
    return false;
}

struct StoredValue {
    quint32 type = 0;
    QByteArray data; // as the registry holds it: strings in UTF-16LE with their terminating zero
};

QByteArray stringData(const QString &text)
{
    QByteArray data;
    data.reserve((text.size() + 1) * 2);
    for (const QChar c : text) {
        data.append(static_cast<char>(c.unicode() & 0xff));
        data.append(static_cast<char>(c.unicode() >> 8));
    }
    data.append(2, '\0');
    return data;
}

// The data after "name=": "text", str(N):"text", dword:XXXXXXXX, hex:bytes or hex(N):bytes.
std::optional<StoredValue> parseData(QByteArrayView text)
{
    StoredValue stored;
    qsizetype pos = 0;
    if (text.startsWith('"') || skip(text, pos, "str(")) {
        stored.type = RegSz;
        if (pos > 0 && (!readHex(text, pos, 8, stored.type) || !skip(text, pos, "):")))
            return std::nullopt;
        QString string;
        if (!skip(text, pos, "\"") || !readEscaped(text, pos, '"', string))
            return std::nullopt;
        stored.data = stringData(string);
        return stored;
    }
    if (skip(text, pos, "dword:")) {
        quint32 number = 0;
        if (!readHex(text, pos, 8, number) || pos != text.size())
            return std::nullopt;
        stored.type = RegDword;
        for (int i = 0; i < 4; ++i)
            stored.data.append(static_cast<char>(number >> (8 * i)));
        return stored;
    }
    if (skip(text, pos, "hex")) {
        stored.type = RegBinary;
        if (skip(text, pos, "(") && (!readHex(text, pos, 8, stored.type) || !skip(text, pos, ")")))
            return std::nullopt;
        if (!skip(text, pos, ":"))
            return std::nullopt;
        for (QByteArrayView byte : text.sliced(pos).toByteArray().split(',')) {
            byte = byte.trimmed();
            if (byte.isEmpty()) // after the last comma of a continued line
                continue;
            qsizetype at = 0;
            quint32 number = 0;
            if (!readHex(byte, at, 2, number) || at != byte.size())
                return std::nullopt;
            stored.data.append(static_cast<char>(number));
        }
        return stored;
    }
    return std::nullopt;
}

// Hands out the file's lines one by one, without their line end and surrounding white space.
class LineReader {
public:
    explicit LineReader(QByteArrayView text) : mText_(text) {}

    bool next(QByteArrayView &line)
    {
        if (mPos_ >= mText_.size())
            return false;
        const char *start = mText_.data() + mPos_;
        const auto *newline =
            static_cast<const char *>(std::memchr(start, '\n', size_t(mText_.size() - mPos_)));
        const qsizetype length = newline ? newline - start : mText_.size() - mPos_;
        mPos_ += length + 1;
        line = QByteArrayView(start, length).trimmed();
        return true;
    }

private:
    QByteArrayView mText_;
    qsizetype mPos_ = 0;
};

// The keys to look in, in order. A 64-bit prefix keeps what 32-bit programs (the game's installer
// among them) write below LocalMachine\Software in Software\Wow6432Node, which Windows reads first for
// a 32-bit view.
QStringList keysToTry(RootKey root, const QString &keyPath)
{
    if (root != RootKey::LocalMachine)
        return {keyPath};
    const QStringList parts = keyPath.split(u'\\');
    const bool inSoftware = parts[0].compare(u"Software", Qt::CaseInsensitive) == 0;
    if (!inSoftware || (parts.size() > 1 && parts[1].compare(u"Wow6432Node", Qt::CaseInsensitive) == 0))
        return {keyPath};
    QStringList redirected = parts;
    redirected.insert(1, QStringLiteral("Wow6432Node"));
    return {redirected.join(u'\\'), keyPath};
}

} // namespace

bool readWineRegistryValue(const QString &prefixFolder, RootKey root, const QString &keyPath,
                           const QString &valueName, QString &value)
{
    value.clear();
    QString hiveName;
    if (root == RootKey::LocalMachine)
        hiveName = QStringLiteral("system.reg");
    else if (root == RootKey::CurrentUser)
        hiveName = QStringLiteral("user.reg");
    if (hiveName.isEmpty() || prefixFolder.isEmpty())
        return false;

    // A FIFO or device in the hive's place is not read: it could hang the window or never end.
    QFile file;
    if (!localfiles::openRegularFile(file, QDir(prefixFolder).filePath(hiveName), nullptr))
        return false;
    const QByteArray content = file.readAll();

    const QStringList keys = keysToTry(root, keyPath);
    struct Result {
        bool seen = false; // the first occurrence of the value in that key counts
        bool ok = false;
        QString text;
    };
    std::vector<Result> results(size_t(keys.size()));

    LineReader reader(content);
    QByteArrayView line;
    qsizetype section = -1; // index into keys of the key whose lines are being read, or -1
    QString name;
    while (reader.next(line)) {
        if (line.startsWith('[')) {
            // "[Software\\Maker\\Product] 1234567890": escaped name, then an optional timestamp. A
            // line without its closing bracket ends the previous key without starting another.
            qsizetype pos = 1;
            section = -1;
            if (readEscaped(line, pos, ']', name)) {
                for (qsizetype i = 0; i < keys.size() && section < 0; ++i)
                    section = keys[i].compare(name, Qt::CaseInsensitive) == 0 ? i : -1;
            }
            continue;
        }
        if (section < 0 || results[size_t(section)].seen || !(line.startsWith('@') || line.startsWith('"')))
            continue; // other keys, comments, "#time=" lines, continuations of other values, garbage

        qsizetype pos = 1;
        if (line.startsWith('@'))
            name.clear();
        else if (!readEscaped(line, pos, '"', name))
            continue;
        if (!skip(line, pos, "=") || name.compare(valueName, Qt::CaseInsensitive) != 0)
            continue;

        QByteArray data = line.sliced(pos).toByteArray();
        if (data.startsWith("hex")) {
            // Long byte lists go on over lines ending in a backslash.
            QByteArrayView more;
            while (data.endsWith('\\')) {
                data.chop(1);
                if (!reader.next(more))
                    break;
                data.append(more);
            }
        }
        Result &result = results[size_t(section)];
        result.seen = true;
        if (const std::optional<StoredValue> stored = parseData(data))
            result.ok = valueFromData(stored->type, stored->data, result.text);
        if (section == 0 && result.ok)
            break; // nothing later can take precedence
    }

    for (const Result &result : results) {
        if (result.ok) {
            value = result.text;
            return true;
        }
    }
    return false;
}

} // namespace modRegistryTools

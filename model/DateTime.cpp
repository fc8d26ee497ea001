#include "DateTime.h"

#include <QVarLengthArray>

#include <cmath>
#include <cstring>

namespace modMain {
namespace {

// Howard Hinnant's days_from_civil / civil_from_days, counted from 1970-01-01.
qint64 daysFromCivil(qint64 y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<qint64>(doe) - 719468;
}

void civilFromDays(qint64 z, int *year, int *month, int *day)
{
    z += 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 y = static_cast<qint64>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    *year = static_cast<int>(y + (m <= 2));
    *month = static_cast<int>(m);
    *day = static_cast<int>(d);
}

const qint64 kEpochOffset = daysFromCivil(1899, 12, 30);

bool isLeap(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m)
{
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

bool isDigit(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

int digit(QChar c)
{
    return c.unicode() - u'0';
}

// A small cursor over the timestamp text for the general forms.
struct Scanner {
    QStringView s;
    qsizetype i = 0;

    bool atEnd() const { return i >= s.size(); }
    QChar peek() const { return atEnd() ? QChar() : s[i]; }
    // Reads 1..maxDigits digits; returns the count read (0 when none).
    int number(int maxDigits, int *value)
    {
        int n = 0;
        int v = 0;
        while (n < maxDigits && !atEnd() && isDigit(s[i])) {
            v = v * 10 + digit(s[i]);
            ++i;
            ++n;
        }
        *value = v;
        return n;
    }
    int skipSpaces()
    {
        int n = 0;
        while (!atEnd() && s[i] == u' ') {
            ++i;
            ++n;
        }
        return n;
    }
};

bool dateValid(int y, int m, int d)
{
    return y >= 100 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= daysInMonth(y, m);
}

// month/day/year; on success the scanner stands after the year.
bool scanDate(Scanner &sc, qint64 *serial)
{
    const qsizetype start = sc.i;
    int m = 0, d = 0, y = 0;
    if (sc.number(2, &m) == 0)
        return false;
    const QChar sep = sc.peek();
    if (sep != u'/' && sep != u'-') {
        sc.i = start;
        return false;
    }
    ++sc.i;
    if (sc.number(2, &d) == 0 || sc.peek() != sep) {
        sc.i = start;
        return false;
    }
    ++sc.i;
    const int yearDigits = sc.number(4, &y);
    if ((yearDigits != 2 && yearDigits != 4) || isDigit(sc.peek())) {
        sc.i = start;
        return false;
    }
    if (yearDigits == 2)
        y += y < 30 ? 2000 : 1900; // the usual two-digit year window, 1930 to 2029
    if (!dateValid(y, m, d)) {
        sc.i = start;
        return false;
    }
    *serial = daySerial(y, m, d);
    return true;
}

bool matchWordCi(Scanner &sc, char16_t a, char16_t b)
{
    if (sc.i + 2 > sc.s.size())
        return false;
    const QChar c0 = sc.s[sc.i].toUpper();
    const QChar c1 = sc.s[sc.i + 1].toUpper();
    if (c0 == QChar(a) && c1 == QChar(b)) {
        sc.i += 2;
        return true;
    }
    return false;
}

// H:mm[:ss] on the 24-hour clock, or h[:mm[:ss]] followed by AM or PM.
bool scanTime(Scanner &sc, int *seconds)
{
    int h = 0, mi = 0, se = 0;
    if (sc.number(2, &h) == 0)
        return false;
    bool hasMinutes = false;
    if (sc.peek() == u':') {
        ++sc.i;
        if (sc.number(2, &mi) != 2)
            return false;
        hasMinutes = true;
        if (sc.peek() == u':') {
            ++sc.i;
            if (sc.number(2, &se) != 2)
                return false;
        }
    }
    const qsizetype beforeSuffix = sc.i;
    sc.skipSpaces();
    bool pm = false;
    bool twelveHour = false;
    if (matchWordCi(sc, u'A', u'M')) {
        twelveHour = true;
    } else if (matchWordCi(sc, u'P', u'M')) {
        twelveHour = true;
        pm = true;
    } else {
        sc.i = beforeSuffix;
    }
    if (!hasMinutes && !twelveHour)
        return false;
    if (mi > 59 || se > 59)
        return false;
    if (twelveHour) {
        if (h < 1 || h > 12)
            return false;
        h = (h % 12) + (pm ? 12 : 0);
    } else if (h > 23) {
        return false;
    }
    *seconds = h * 3600 + mi * 60 + se;
    return true;
}

inline char16_t unitOf(QStringView t, qsizetype k)
{
    return t.utf16()[k];
}
inline char16_t unitOf(QByteArrayView t, qsizetype k)
{
    return static_cast<unsigned char>(t.data()[k]);
}

template <typename View> bool parseCommonForm(View t, double *days, DateCache *cache)
{
    // MM/dd/yyyy HH:mm:ss
    static const char kShape[] = "00/00/0000 00:00:00";
    for (int k = 0; k < 19; ++k) {
        const char16_t c = unitOf(t, k);
        if (kShape[k] == '0') {
            if (c < u'0' || c > u'9')
                return false;
        } else if (c != static_cast<char16_t>(kShape[k])) {
            return false;
        }
    }
    auto two = [&](int k) { return (unitOf(t, k) - u'0') * 10 + (unitOf(t, k + 1) - u'0'); };
    const int month = two(0), day = two(3), year = two(6) * 100 + two(8);
    const int hour = two(11), minute = two(14), second = two(17);
    if (!dateValid(year, month, day) || hour > 23 || minute > 59 || second > 59)
        return false;
    const int dateKey = (year * 13 + month) * 32 + day;
    if (!cache) {
        *days = makeDateTime(daySerial(year, month, day), hour * 3600 + minute * 60 + second);
        return true;
    }
    // Lines of a log come day after day: the caller keeps the last date's serial.
    if (dateKey != cache->key) {
        cache->serial = daySerial(year, month, day);
        cache->key = dateKey;
    }
    *days = makeDateTime(cache->serial, hour * 3600 + minute * 60 + second);
    return true;
}

// "HH:mm:ss" at t as seconds of the day, or -1.
int commonTimeOfDay(const char *t)
{
    auto two = [](const char *at) {
        const unsigned a = unsigned(static_cast<unsigned char>(at[0]) - '0');
        const unsigned b = unsigned(static_cast<unsigned char>(at[1]) - '0');
        return a <= 9 && b <= 9 ? int(a * 10 + b) : -1;
    };
    const int hour = two(t), minute = two(t + 3), second = two(t + 6);
    if (t[2] != ':' || t[5] != ':' || hour < 0 || minute < 0 || second < 0 || hour > 23 || minute > 59 ||
        second > 59)
        return -1;
    return hour * 3600 + minute * 60 + second;
}

} // namespace

qint64 daySerial(int year, int month, int day)
{
    return daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpochOffset;
}

double makeDateTime(qint64 daySerial, int secondsOfDay)
{
    const double fraction = secondsOfDay / 86400.0;
    return daySerial >= 0 ? static_cast<double>(daySerial) + fraction
                          : static_cast<double>(daySerial) - fraction;
}

bool parseTimestamp(QStringView text, double *days, DateCache *cache)
{
    if (text.size() == 19 && parseCommonForm(text, days, cache))
        return true;

    Scanner sc{text};
    sc.skipSpaces();
    qint64 serial = 0;
    int seconds = 0;
    if (scanDate(sc, &serial)) {
        // A time may follow the date after at least one space.
        const int spaces = sc.skipSpaces();
        if (!sc.atEnd() && (spaces == 0 || !scanTime(sc, &seconds)))
            return false;
    } else if (!scanTime(sc, &seconds)) {
        return false;
    }
    sc.skipSpaces();
    if (!sc.atEnd())
        return false;
    *days = makeDateTime(serial, seconds);
    return true;
}

namespace {

// The forms other than the common one, read as decoded text: rare, and kept out of the common way's
// call so that every line does not pay for its buffer.
Q_NEVER_INLINE bool parseOtherForm(QByteArrayView text, double *days, DateCache *cache)
{
    // Every character of a timestamp is ASCII: a byte above it is a character that no form holds.
    QVarLengthArray<char16_t, 64> wide(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text.data()[i]);
        if (byte > 0x7F)
            return false;
        wide[i] = byte;
    }
    return parseTimestamp(QStringView(wide.data(), wide.size()), days, cache);
}

} // namespace

bool parseTimestamp(QByteArrayView text, double *days, DateCache *cache)
{
    if (text.size() == 19) {
        const char *t = text.data();
        // The lines of a log come day after day: the same date as the last costs its time alone.
        if (cache && cache->bytesKey == cache->key && cache->key >= 0 && t[10] == ' ' &&
            std::memcmp(t, cache->dateBytes, sizeof cache->dateBytes) == 0) {
            const int seconds = commonTimeOfDay(t + 11);
            if (seconds >= 0) {
                *days = makeDateTime(cache->serial, seconds);
                return true;
            }
        }
        if (parseCommonForm(text, days, cache)) {
            if (cache) {
                std::memcpy(cache->dateBytes, t, sizeof cache->dateBytes);
                cache->bytesKey = cache->key;
            }
            return true;
        }
    }
    return parseOtherForm(text, days, cache);
}

void TimestampFormatter::formatTo(double days, char16_t *out)
{
    if (!std::isfinite(days) || std::fabs(days) > 3.0e6)
        days = 0.0; // far outside any calendar a log can hold
    double whole = std::trunc(days);
    qint64 serial = static_cast<qint64>(whole);
    qint64 seconds = std::llround(std::fabs(days - whole) * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        serial += 1;
    }
    auto put2 = [](char16_t *at, int v) {
        at[0] = static_cast<char16_t>(u'0' + v / 10);
        at[1] = static_cast<char16_t>(u'0' + v % 10);
    };
    // A chat's lines come day after day: the date part of the last day is kept.
    if (serial != lastSerial_ || lastDate_[2] != u'/') {
        int y = 0, m = 0, d = 0;
        civilFromDays(serial + kEpochOffset, &y, &m, &d);
        put2(lastDate_, m);
        lastDate_[2] = u'/';
        put2(lastDate_ + 3, d);
        lastDate_[5] = u'/';
        put2(lastDate_ + 6, y / 100 % 100);
        put2(lastDate_ + 8, y % 100);
        lastDate_[10] = u' ';
        lastSerial_ = serial;
    }
    std::memcpy(out, lastDate_, sizeof lastDate_);
    const int h = static_cast<int>(seconds / 3600), mi = static_cast<int>(seconds / 60 % 60),
              s = static_cast<int>(seconds % 60);
    put2(out + 11, h);
    out[13] = u':';
    put2(out + 14, mi);
    out[16] = u':';
    put2(out + 17, s);
}

QString TimestampFormatter::format(double days)
{
    QString s(19, Qt::Uninitialized);
    formatTo(days, reinterpret_cast<char16_t *>(s.data()));
    return s;
}

QString formatTimestamp(double days)
{
    return TimestampFormatter().format(days);
}

} // namespace modMain

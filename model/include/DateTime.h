#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Date-times are a count of days since 30 December 1899 00:00:00, the fraction being the time of day.
// Zero means "no timestamp". Days before the epoch are negative; their fraction still counts forwards
// from midnight (so -1.25 is 29 December 1899, 06:00).
namespace modMain {

// Days from 30 December 1899 to the given calendar date (proleptic Gregorian).
qint64 daySerial(int year, int month, int day);

// Combines a day serial and the seconds since midnight into a date-time value.
double makeDateTime(qint64 daySerial, int secondsOfDay);

// Converts a timestamp text as written in chat logs. Accepts month/day/year with one- or two-digit month
// and day and a two- or four-digit year ("/" or "-" between), a 24-hour time "H:mm" or "H:mm:ss", or a
// 12-hour time followed by AM or PM ("h AM" too); a date alone; or a time alone (then on 30 December
// 1899). Surrounding spaces are ignored. Returns false, leaving *days alone, for anything else.
// The common form "MM/dd/yyyy HH:mm:ss" takes a fast path.
//
// The lines of a log come day after day, so a caller that parses many may pass a cache of the last
// date's day serial (one per thread of work); nullptr computes every date afresh.
struct DateCache {
    int key = -1;
    qint64 serial = 0;
    // The bytes of that date as the last timestamp in bytes wrote it, while bytesKey is key.
    char dateBytes[10] = {};
    int bytesKey = -1;
};
bool parseTimestamp(QStringView text, double *days, DateCache *cache = nullptr);
// The same for the bytes of a timestamp in an encoding that holds ASCII characters as themselves in one
// byte each (windows-1252, UTF-8): a byte above 0x7F is a character no timestamp holds.
bool parseTimestamp(QByteArrayView text, double *days, DateCache *cache = nullptr);

// Formats timestamps as "MM/dd/yyyy HH:mm:ss" (19 characters), rounded to the nearest second. Keeps the
// date text of the last day it formatted, so a chat's lines, which come day after day, mostly cost the
// time of day alone. One formatter per thread of work.
class TimestampFormatter {
public:
    void formatTo(double days, char16_t *out);
    QString format(double days);

private:
    qint64 lastSerial_ = 0;
    char16_t lastDate_[11] = {};
};

// The same with a fresh formatter, for a single timestamp.
QString formatTimestamp(double days);

} // namespace modMain

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

#include "LogGenerator.h"
#include "TextCodec.h"
#include "modMain.h"

namespace {

constexpr std::uint64_t kSmallLog = 200 * 1024;

// windows-1252 by its name where Qt has ICU. Qt for Windows here has none; there the reader's ANSI code
// page serves, which is windows-1252 on the systems the tests run on.
QString fromWindows1252(const QByteArray &bytes)
{
    QStringDecoder byName("windows-1252");
    return byName.isValid() ? QString(byName(bytes)) : modMain::decodeAnsi(bytes);
}

QByteArray generateFileBytes(const QTemporaryDir &dir, std::uint64_t size, std::uint64_t seed,
                             loggen::Stats *stats = nullptr)
{
    const QString path = dir.filePath(QStringLiteral("client_chat_log_%1_%2.txt").arg(size).arg(seed));
    std::string error;
    if (!loggen::generateFile({size, seed}, path.toStdString(), stats, &error))
        qFatal("generation failed: %s", error.c_str());
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read back %s", qPrintable(path));
    return file.readAll();
}

// A generated log as the reader sees it: split at CR LF, decoded, every line after the header parsed.
struct ReadLog {
    QByteArray bytes;
    loggen::Stats stats;
    QStringList lines;                // without their CR LF; lines[0] is the header
    QList<modMain::ChatLine> records; // one per non-empty line after the header
    int emptyLines = 0;
};

ReadLog read(std::uint64_t seed)
{
    QTemporaryDir dir;
    ReadLog log;
    log.bytes = generateFileBytes(dir, kSmallLog, seed, &log.stats);
    log.lines = fromWindows1252(log.bytes).split(QStringLiteral("\r\n"));
    if (!log.lines.isEmpty() && log.lines.last().isEmpty())
        log.lines.removeLast(); // after the final CR LF
    for (qsizetype i = 1; i < log.lines.size(); ++i) {
        if (log.lines[i].isEmpty())
            ++log.emptyLines;
        else
            log.records.append(modMain::ParseChatLine(log.lines[i]));
    }
    return log;
}

bool within(qsizetype part, qsizetype whole, double low, double high)
{
    const double share = double(part) / double(whole);
    return share >= low && share <= high;
}

} // namespace

class tst_LogGen : public QObject {
    Q_OBJECT
private slots:
    void readerSeesTheStatedMix_data();
    void readerSeesTheStatedMix();
    void linesOfEveryKindAreWellFormed_data() { readerSeesTheStatedMix_data(); }
    void linesOfEveryKindAreWellFormed();
    void timestampsAdvanceAlongTheCalendar_data() { readerSeesTheStatedMix_data(); }
    void timestampsAdvanceAlongTheCalendar();
    void bytesAreWindows1252WithCrLf();
    void sameSeedSameBytes();
    void stopsAtTheLineEndAfterTheSize_data();
    void stopsAtTheLineEndAfterTheSize();
    void clockFollowsTheCalendar();
    void parseSize();
};

void tst_LogGen::readerSeesTheStatedMix_data()
{
    QTest::addColumn<quint64>("seed");
    QTest::newRow("seed 1") << quint64(1);
    QTest::newRow("seed 2") << quint64(2);
    QTest::newRow("seed 42") << quint64(42);
}

void tst_LogGen::readerSeesTheStatedMix()
{
    QFETCH(quint64, seed);
    const ReadLog log = read(seed);
    const qsizetype total = log.records.size();
    QVERIFY(total > 2000);

    qsizetype publicLines = 0, feedback = 0, channels = 0, tells = 0;
    QHash<QString, quint64> perChat;
    for (const modMain::ChatLine &r : log.records) {
        publicLines += !r.IsChannel && !r.IsTell;
        feedback += r.IsGameFeedback;
        channels += r.IsChannel;
        tells += r.IsTell;
        ++perChat[r.ChatName];
    }
    QVERIFY2(within(publicLines, total, 0.43, 0.52), qPrintable(QString::number(publicLines)));
    QVERIFY2(within(feedback, publicLines, 0.07, 0.13), qPrintable(QString::number(feedback)));
    QVERIFY2(within(channels, total, 0.29, 0.37), qPrintable(QString::number(channels)));
    QVERIFY2(within(tells, total, 0.17, 0.23), qPrintable(QString::number(tells)));

    // What the generator reports is what the reader finds.
    QCOMPARE(quint64(publicLines), log.stats.publicLines);
    QCOMPARE(quint64(feedback), log.stats.allFeedbackLines());
    QCOMPARE(quint64(channels), log.stats.channelLines);
    QCOMPARE(quint64(tells), log.stats.tellsReceived + log.stats.tellsSent);
    QCOMPARE(quint64(log.emptyLines), log.stats.emptyLines);
    QCOMPARE(quint64(log.lines.size()), log.stats.lines);
    QCOMPARE(qsizetype(log.stats.chats.size()), perChat.size());
    for (const loggen::ChatCount &chat : log.stats.chats)
        QCOMPARE(perChat.value(QString::fromStdString(chat.name)), chat.lines);

    // The public chat is the largest; the small chat is small.
    const QString largest = QString::fromStdString(log.stats.chats.front().name);
    QCOMPARE(largest, modMain::kPublicChatName);
    const quint64 largestLines = perChat.value(largest);
    for (auto it = perChat.cbegin(); it != perChat.cend(); ++it)
        QVERIFY(it.key() == largest || it.value() < largestLines / 2);
    QVERIFY(perChat.value(QString::fromStdString(std::string(loggen::kSmallChatName))) <
            quint64(total / 100));
    QVERIFY(log.emptyLines > 0);
}

void tst_LogGen::linesOfEveryKindAreWellFormed()
{
    QFETCH(quint64, seed);
    const ReadLog log = read(seed);

    int feedbackOfKind[loggen::FeedbackKindCount] = {};
    int namedChannelLines = 0, unnamedChannelLines = 0, received = 0, sent = 0;
    QSet<QString> namedChannels, partnersSeen;
    QSet<QString> partners;
    for (std::string_view p : loggen::tellPartners())
        partners.insert(QString::fromUtf8(p.data(), qsizetype(p.size())));
    static const QRegularExpression kTellIn(QStringLiteral("^ (\\S+) tells you: \\S"));
    static const QRegularExpression kTellOut(QStringLiteral("^ You tell (\\S+): \\S"));
    static const QRegularExpression kChannelLine(QStringLiteral("^ \\[(\\w+)(: \\S+\\]|\\] \\S+:) \\S"));

    for (const modMain::ChatLine &r : log.records) {
        const QString trimmed = r.Text.trimmed();
        for (int k = 0; k < loggen::FeedbackKindCount; ++k) {
            const auto text = loggen::feedbackText(loggen::FeedbackKind(k));
            if (trimmed.startsWith(QLatin1String(text.data(), qsizetype(text.size())))) {
                QVERIFY2(r.IsGameFeedback, qPrintable(r.Text));
                ++feedbackOfKind[k];
                if (k == loggen::TooFar)
                    QCOMPARE(trimmed.size(), qsizetype(text.size()));
            }
        }
        if (r.IsChannel) {
            const QRegularExpressionMatch m = kChannelLine.match(r.Text);
            QVERIFY2(m.hasMatch(), qPrintable(r.Text));
            if (m.captured(2).startsWith(u':')) {
                QCOMPARE(r.ChatName, m.captured(1));
                namedChannels.insert(r.ChatName);
                ++namedChannelLines;
            } else {
                QCOMPARE(r.ChatName, QString());
                ++unnamedChannelLines;
            }
        }
        if (r.IsTell) {
            const QRegularExpressionMatch in = kTellIn.match(r.Text), out = kTellOut.match(r.Text);
            QVERIFY2(in.hasMatch() != out.hasMatch(), qPrintable(r.Text));
            const QString partner = in.hasMatch() ? in.captured(1) : out.captured(1);
            QCOMPARE(r.ChatName, partner);
            QVERIFY2(partners.contains(partner), qPrintable(partner));
            partnersSeen.insert(partner);
            (in.hasMatch() ? received : sent)++;
        }
    }
    for (int k = 0; k < loggen::FeedbackKindCount; ++k)
        QVERIFY2(feedbackOfKind[k] > 0, qPrintable(QString::number(k)));
    QVERIFY(namedChannels.size() >= 3);
    QVERIFY(namedChannelLines > 0 && unnamedChannelLines > 0);
    QVERIFY(received > 0 && sent > 0);
    QVERIFY2(partnersSeen.size() >= 24, qPrintable(QString::number(partnersSeen.size())));
}

void tst_LogGen::timestampsAdvanceAlongTheCalendar()
{
    QFETCH(quint64, seed);
    const ReadLog log = read(seed);

    double previous = 0;
    const QString header = log.lines.first();
    QVERIFY(header.startsWith(QStringLiteral("Chat log for ")));
    QVERIFY(modMain::parseTimestamp(header.right(19), &previous));
    QCOMPARE(header.right(19), QString::fromStdString(log.stats.firstTimestamp));

    // The parser's calendar is independent of the generator's: a wrong month length or midnight shows
    // up as a gap or a date it rejects.
    for (const modMain::ChatLine &r : log.records) {
        QVERIFY2(r.TimeStamp != 0, qPrintable(r.Text));
        const double seconds = std::round((r.TimeStamp - previous) * 86400);
        QVERIFY2(seconds >= 0 && seconds <= loggen::kMaxSecondsBetweenLines, qPrintable(r.Text));
        previous = r.TimeStamp;
    }
    const QString first = log.lines[1].mid(1, 19), last = modMain::formatTimestamp(previous);
    QCOMPARE(last, QString::fromStdString(log.stats.lastTimestamp));
    QVERIFY2(first.left(2) != last.left(2), qPrintable(first + u' ' + last)); // crossed a month end
}

void tst_LogGen::bytesAreWindows1252WithCrLf()
{
    const QByteArray bytes = read(1).bytes;
    int high = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        high += b >= 0x80;
        // Bytes that windows-1252 leaves undefined, and control characters other than the line end.
        QVERIFY(b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D);
        QVERIFY(b >= 0x20 || (b == '\r' && bytes.at(i + 1) == '\n') ||
                (b == '\n' && bytes.at(i - 1) == '\r'));
    }
    QVERIFY(high > 100);
    const QString text = fromWindows1252(bytes);
    for (QStringView c : {u"é", u"€", u"’", u"…", u"É"})
        QVERIFY2(text.contains(c), qPrintable(c.toString()));
    // Quotes open and close in the right order.
    QVERIFY(text.contains(QRegularExpression(QStringLiteral("“[^“”\r\n]+”"))));
    QVERIFY(!text.contains(QRegularExpression(QStringLiteral("”[^“”\r\n]+“"))));
}

void tst_LogGen::sameSeedSameBytes()
{
    QTemporaryDir dir;
    const QByteArray one = generateFileBytes(dir, kSmallLog, 7);
    QTemporaryDir other;
    QCOMPARE(generateFileBytes(other, kSmallLog, 7), one);
    QCOMPARE(QByteArray::fromStdString(loggen::generateToString({kSmallLog, 7})), one);
    QVERIFY(generateFileBytes(dir, kSmallLog, 8) != one);

    // A larger log begins with the smaller one, across the writer's block boundaries.
    const std::string large = loggen::generateToString({9 << 20, 7});
    QVERIFY(QByteArray::fromStdString(large).startsWith(one));
}

void tst_LogGen::stopsAtTheLineEndAfterTheSize_data()
{
    QTest::addColumn<quint64>("size");
    QTest::newRow("one byte: the header alone") << quint64(1);
    QTest::newRow("a few lines") << quint64(300);
    QTest::newRow("odd size") << quint64(kSmallLog + 7);
    QTest::newRow("one block") << quint64(4 << 20);
    QTest::newRow("a little over one block") << quint64((4 << 20) + 333);
}

void tst_LogGen::stopsAtTheLineEndAfterTheSize()
{
    QFETCH(quint64, size);
    QTemporaryDir dir;
    loggen::Stats stats;
    const QByteArray bytes = generateFileBytes(dir, size, 3, &stats);
    QCOMPARE(quint64(bytes.size()), stats.bytes);
    QVERIFY(quint64(bytes.size()) >= size);
    QVERIFY(bytes.endsWith("\r\n"));
    QCOMPARE(quint64(bytes.count("\r\n")), stats.lines);
    // It stops at the first line end at or after the size: without its last line it is too short.
    const qsizetype lastLineStart = bytes.lastIndexOf("\r\n", bytes.size() - 3) + 2;
    QVERIFY(quint64(lastLineStart) < size || stats.lines == 1);
}

void tst_LogGen::clockFollowsTheCalendar()
{
    struct Start {
        int year, month, day, seconds;
    };
    // Across a leap day in a year divisible by 400, and a year divisible by 100 that has none.
    for (const Start s : {Start{1999, 12, 31, 86000}, Start{2100, 2, 27, 3}}) {
        loggen::LogClock clock(s.year, s.month, s.day, s.seconds);
        const qint64 startDay = modMain::daySerial(s.year, s.month, s.day);
        qint64 elapsed = 0;
        for (int i = 0; i < 20000; ++i) {
            const std::uint32_t step = i % 7 == 0 ? 0 : 3607u * (i % 3) + 59; // uneven, so the times vary
            clock.advance(step);
            elapsed += step;
            const qint64 at = s.seconds + elapsed;
            const QString expected =
                modMain::formatTimestamp(modMain::makeDateTime(startDay + at / 86400, int(at % 86400)));
            const std::string_view text = clock.text();
            QCOMPARE(QLatin1String(text.data(), qsizetype(text.size())), expected);
        }
    }
}

void tst_LogGen::parseSize()
{
    std::uint64_t size = 0;
    QVERIFY(loggen::parseSize("123", &size) && size == 123);
    QVERIFY(loggen::parseSize("200K", &size) && size == 200 * 1024);
    QVERIFY(loggen::parseSize("100m", &size) && size == 100ull << 20);
    QVERIFY(loggen::parseSize("1G", &size) && size == 1ull << 30);
    for (const char *bad :
         {"", "M", "0", "0K", "1.5M", "-1", "10X", "10MB", " 10", "99999999999999999999", "99999999999999G"})
        QVERIFY2(!loggen::parseSize(bad, &size), bad);
}

QTEST_GUILESS_MAIN(tst_LogGen)
#include "tst_loggen.moc"

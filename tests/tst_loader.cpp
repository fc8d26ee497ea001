#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

#include "ChildProcess.h"
#include "ReferenceModel.h"
#include "TextCodec.h"
#include "modMain.h"

using modMain::LoadStatus;

namespace {

QString writeLog(const QTemporaryDir &dir, const QByteArray &bytes,
                 const QString &name = QStringLiteral("log.txt"))
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QStringList textsOf(const modMain::LoadedChatLog &log)
{
    QStringList texts;
    for (const modMain::ChatLine &r : log.ChatLog)
        texts.append(r.Text);
    return texts;
}

const QByteArray kHeader = "Chat log for Veyla started 06/14/2005 21:00:03\r\n";

// Every field of every record, and the chat names, compared through the public face of the log.
void compareLogs(const modMain::LoadedChatLog &got, const modMain::LoadedChatLog &expected, const char *what)
{
    const qsizetype differs = reference::firstDifference(got, expected);
    QVERIFY2(differs < 0, qPrintable(QStringLiteral("%1: differs at record %2 of %3 (expected %4)")
                                         .arg(QLatin1String(what))
                                         .arg(differs)
                                         .arg(got.ChatLog.size())
                                         .arg(expected.ChatLog.size())));
}

modMain::LoadResult loadWithReadSize(const QString &path, qsizetype readSize)
{
    modMain::LoadOptions options;
    options.readSize = readSize;
    return modMain::LoadChatLog(path, options);
}

} // namespace

class tst_Loader : public QObject {
    Q_OBJECT
private slots:
    void filesWithoutLines_data();
    void filesWithoutLines();
    void lineEnds_data();
    void lineEnds();
    void namesInOrderOfFirstAppearance();
    void decoding_data();
    void decoding();
    void unreadableFiles();
    void recordsOutliveTheLoadAndDetach();
    void largeFileMatchesLineByLineParse_data();
    void largeFileMatchesLineByLineParse();
    void recordsDoNotDependOnReadSize_data();
    void recordsDoNotDependOnReadSize();
    void linesReadOneByOneGiveTheLoadedRecords();
    void progressIsReportedAndCancelStopsTheLoad();
    void linesOfSomeChatsAreThoseOfTheLoad_data();
    void linesOfSomeChatsAreThoseOfTheLoad();
    void partsGiveTheRecordsOfOneRead_data();
    void partsGiveTheRecordsOfOneRead();
    void partsCutInsideLinesLongerThanASearchStep_data();
    void partsCutInsideLinesLongerThanASearchStep();
    void partsReportProgressAndCancel();
    void appendedLogsMergeTheirChats();
    void longLinesLoadInLinearTime();
    void cutAndInvalidSequencesDecodeAsInOneGo_data();
    void cutAndInvalidSequencesDecodeAsInOneGo();
    void outOfMemoryIsAStatusAndFreesAll();
    void fileCutShortWhileReadLoadsNothing();
    void loadsFromAnOpenDeviceWhereItStands();
    void encodeAnsiRoundTripsAndReplaces();
    void writeTextFileReplacesOrKeepsOld();
    void writeTextFileWritesDevicesAndFifosInPlace();
    void writeTextFileFollowsSymbolicLinks();
};

void tst_Loader::filesWithoutLines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("header only") << QByteArray("header");
    QTest::newRow("header with line end") << kHeader;
    QTest::newRow("header and empty lines") << kHeader + "\r\n\r\n\n\r";
}

void tst_Loader::filesWithoutLines()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const modMain::LoadResult r = modMain::LoadChatLog(writeLog(dir, bytes));
    QCOMPARE(r.status, LoadStatus::NoLines);
    QVERIFY(r.log.ChatLog.isEmpty());
    QVERIFY(r.log.ChatNames.isEmpty());
}

void tst_Loader::lineEnds_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("texts");

    const QStringList abc = {QStringLiteral(" a"), QStringLiteral(" b"), QStringLiteral(" c")};
    QTest::newRow("CR LF") << QByteArray(
                                  "h\r\n[1/1/2005 10:00] a\r\n[1/1/2005 10:00] b\r\n[1/1/2005 10:00] c\r\n")
                           << abc;
    QTest::newRow("LF only") << QByteArray("h\n[1/1/2005 10:00] a\n[1/1/2005 10:00] b\n[1/1/2005 10:00] c")
                             << abc;
    QTest::newRow("CR only") << QByteArray("h\r[1/1/2005 10:00] a\r[1/1/2005 10:00] b\r[1/1/2005 10:00] c\r")
                             << abc;
    QTest::newRow("mixed, blank lines between and after")
        << QByteArray(
               "h\r\n\r\n[1/1/2005 10:00] a\n\n\r[1/1/2005 10:00] b\r\r\n[1/1/2005 10:00] c\r\n\r\n\r\n")
        << abc;
    QTest::newRow("a line of spaces is a line")
        << QByteArray("h\r\n   \r\n") << QStringList{QStringLiteral("   ")};
    QTest::newRow("header without timestamp is skipped")
        << QByteArray("[1/1/2005 10:00] h\r\n[1/1/2005 10:00] a") << QStringList{QStringLiteral(" a")};
}

void tst_Loader::lineEnds()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, texts);
    QTemporaryDir dir;
    const modMain::LoadResult r = modMain::LoadChatLog(writeLog(dir, bytes));
    QCOMPARE(r.status, LoadStatus::Loaded);
    QCOMPARE(textsOf(r.log), texts);
}

void tst_Loader::namesInOrderOfFirstAppearance()
{
    QTemporaryDir dir;
    const QByteArray body = "[06/14/2005 21:03:17] Veyla: hi all\r\n"
                            "[06/14/2005 21:03:18] [Trade: Orrik] ore\r\n"
                            "[06/14/2005 21:03:19] Orrik tells you: hi\r\n"
                            "[06/14/2005 21:03:20] Veyla: again\r\n"
                            "[06/14/2005 21:03:21] You tell Veyla: yes\r\n"
                            "[06/14/2005 21:03:22] [Trade: Brannoc] more ore\r\n"
                            "[06/14/2005 21:03:23] orrik tells you: lower case\r\n"
                            "[06/14/2005 21:03:24] [Guild] no name\r\n";
    const modMain::LoadResult r = modMain::LoadChatLog(writeLog(dir, kHeader + body));
    QCOMPARE(r.status, LoadStatus::Loaded);
    QCOMPARE(r.log.ChatNames,
             QStringList({QStringLiteral("Public/Global"), QStringLiteral("Trade"), QStringLiteral("Orrik"),
                          QStringLiteral("Veyla"), QStringLiteral("orrik"), QString()}));
    QCOMPARE(r.log.ChatLog.size(), 8);
    QCOMPARE(r.log.ChatLog[4].ChatName, QStringLiteral("Veyla"));
    QVERIFY(r.log.ChatLog[4].IsTell);
    QCOMPARE(r.log.ChatLog[5].Text, QStringLiteral(" [Trade: Brannoc] more ore"));
    QCOMPARE(r.log.ChatLog[0].TimeStamp,
             modMain::makeDateTime(modMain::daySerial(2005, 6, 14), 21 * 3600 + 3 * 60 + 17));
}

void tst_Loader::decoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    const QString accents = QStringLiteral(" café “quoted” 5€ \u0081\u008D\u2019");
    QTest::newRow("windows-1252")
        << QByteArray("h\r\n[1/1/2005 10:00] caf\xE9 \x93quoted\x94 5\x80 \x81\x8D\x92\r\n") << accents;
    QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBFh\r\n[1/1/2005 10:00]") + accents.toUtf8()
                                << accents;
    auto utf16 = [](const QString &s, bool little) {
        QByteArray b;
        for (QChar c : s) {
            const char lo = char(c.unicode() & 0xFF), hi = char(c.unicode() >> 8);
            b.append(little ? lo : hi).append(little ? hi : lo);
        }
        return b;
    };
    const QString line = QStringLiteral("h\r\n[1/1/2005 10:00]") + accents + QStringLiteral("\r\n");
    QTest::newRow("UTF-16 LE mark") << QByteArray("\xFF\xFE") + utf16(line, true) << accents;
    QTest::newRow("UTF-16 BE mark") << QByteArray("\xFE\xFF") + utf16(line, false) << accents;
    QTest::newRow("mark-like bytes later are text")
        << QByteArray("h\r\n[1/1/2005 10:00] \xEF\xBB\xBF") << QStringLiteral(" \u00EF\u00BB\u00BF");
}

void tst_Loader::decoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QTemporaryDir dir;
    const modMain::LoadResult r = modMain::LoadChatLog(writeLog(dir, bytes));
    QCOMPARE(r.status, LoadStatus::Loaded);
    QCOMPARE(textsOf(r.log), QStringList{text});
}

void tst_Loader::unreadableFiles()
{
    QTemporaryDir dir;
    modMain::LoadResult missing = modMain::LoadChatLog(dir.filePath(QStringLiteral("nope.txt")));
    QCOMPARE(missing.status, LoadStatus::FileError);
    QVERIFY(!missing.errorText.isEmpty());

    modMain::LoadResult folder = modMain::LoadChatLog(dir.path());
    QCOMPARE(folder.status, LoadStatus::FileError);
    QVERIFY(!folder.errorText.isEmpty());

    const QString locked = writeLog(dir, kHeader + "x\r\n");
    QFile::setPermissions(locked, QFileDevice::WriteOwner);
    if (QFile probe(locked); probe.open(QIODevice::ReadOnly))
        QSKIP("permissions do not keep this file from being read here (root, or no such permissions)");
    modMain::LoadResult denied = modMain::LoadChatLog(locked);
    QCOMPARE(denied.status, LoadStatus::FileError);
    QVERIFY(!denied.errorText.isEmpty());
}

void tst_Loader::recordsOutliveTheLoadAndDetach()
{
    QTemporaryDir dir;
    modMain::ChatLogRecords kept;
    {
        modMain::LoadResult r = modMain::LoadChatLog(
            writeLog(dir, kHeader + "[1/1/2005 10:00] first\r\n[1/1/2005 10:00] second\r\n"));
        QCOMPARE(r.status, LoadStatus::Loaded);
        kept = r.log.ChatLog;
    }
    QCOMPARE(kept[0].Text, QStringLiteral(" first"));
    QCOMPARE(kept[1].Text, QStringLiteral(" second"));
    // A copy shares the columns until one side changes: then each keeps its own records.
    modMain::ChatLogRecords grown = kept;
    modMain::ChatLine extra = kept[1];
    extra.ChatName = QStringLiteral("Orrik");
    extra.Text.append(QStringLiteral(" and more"));
    grown.append(extra);
    QCOMPARE(kept.size(), 2);
    QCOMPARE(kept.chatNames(), QStringList{modMain::kPublicChatName});
    QCOMPARE(kept[1].Text, QStringLiteral(" second"));
    QCOMPARE(grown.size(), 3);
    QCOMPARE(grown.last().Text, QStringLiteral(" second and more"));
    QCOMPARE(grown.last().ChatName, QStringLiteral("Orrik"));
    kept.clear();
    QVERIFY(kept.isEmpty() && kept.chatNames().isEmpty());
    QCOMPARE(grown[0].Text, QStringLiteral(" first"));

    // The columns and texts keep room beyond their records: a record taken back and another written
    // in its place, or thousands more, change nothing in a copy taken before.
    const modMain::ChatLogRecords snapshot = grown;
    grown.removeLast();
    extra.Text = QStringLiteral(" replaced \u4E2D");
    grown.append(extra);
    for (int i = 0; i < 3000; ++i) {
        extra.Text = QStringLiteral(" line %1").arg(i);
        grown.append(extra);
    }
    QCOMPARE(snapshot.size(), 3);
    QCOMPARE(snapshot.last().Text, QStringLiteral(" second and more"));
    QCOMPARE(grown.size(), 3003);
    QCOMPARE(grown[2].Text, QStringLiteral(" replaced \u4E2D"));
    QCOMPARE(grown[1502].Text, QStringLiteral(" line 1499"));
    QCOMPARE(grown.last().Text, QStringLiteral(" line 2999"));
}

void tst_Loader::largeFileMatchesLineByLineParse_data()
{
    QTest::addColumn<bool>("utf8");
    QTest::newRow("windows-1252") << false;
    // Lines beyond ASCII are decoded one by one, between the others that go as bytes: the records
    // keep the order of their lines.
    QTest::newRow("UTF-8 mark") << true;
}

void tst_Loader::largeFileMatchesLineByLineParse()
{
    // Several read chunks of mixed lines and line ends, including line ends split between chunks.
    QFETCH(bool, utf8);
    QRandomGenerator rng(42);
    const QStringList shapes = {
        QStringLiteral("[06/14/2005 21:03:17] Veyla: anyone selling ore? café"),
        QStringLiteral("[06/14/2005 21:03:18] [Trade: Orrik] selling iron ore “cheap”"),
        QStringLiteral("[6/14/05 9:03 PM] [Guild] Orrik: hello"),
        QStringLiteral("[06/14/2005 21:05:40] Orrik tells you: meet me at the gate"),
        QStringLiteral("[06/14/2005 21:06:02] You tell Orrik: on my way 5€"),
        QStringLiteral("[06/14/2005 21:07:15] You have gathered 3 iron ore."),
        QStringLiteral("Orrik tells you: no timestamp"),
        QStringLiteral("[Guild: Veyla] no timestamp either"),
        QStringLiteral("   "),
    };
    const char *ends[] = {"\r\n", "\n", "\r"};
    QByteArray bytes = (utf8 ? QByteArray("\xEF\xBB\xBF") : QByteArray()) + kHeader;
    QStringList lines;
    while (bytes.size() < 3 * 1024 * 1024 + 100) {
        QString line = shapes[rng.bounded(shapes.size())];
        if (rng.bounded(50) == 0)
            line = QString(rng.bounded(1, 70000), u'w'); // longer than any chunk boundary distance
        lines.append(line);
        bytes += utf8 ? line.toUtf8() : modMain::encodeAnsi(line);
        // Put a CR LF exactly across the first chunk boundary.
        const int end = bytes.size() == (1 << 20) - 1 ? 0 : rng.bounded(3);
        bytes += ends[end];
        if (rng.bounded(20) == 0)
            bytes += "\r\n"; // an empty line
        if (bytes.size() < (1 << 20) - 1 && bytes.size() > (1 << 20) - 80) {
            const QByteArray pad((1 << 20) - 1 - bytes.size(), 'p');
            lines.append(QString::fromLatin1(pad));
            bytes += pad + "\r\n";
        }
    }
    QTemporaryDir dir;
    const modMain::LoadResult r = modMain::LoadChatLog(writeLog(dir, bytes));
    QCOMPARE(r.status, LoadStatus::Loaded);
    QCOMPARE(r.log.ChatLog.size(), lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const modMain::ChatLine expected = modMain::ParseChatLine(lines[i]);
        const modMain::ChatLine &got = r.log.ChatLog[i];
        QVERIFY2(got.Text == expected.Text && got.ChatName == expected.ChatName &&
                     got.TimeStamp == expected.TimeStamp && got.IsChannel == expected.IsChannel &&
                     got.IsTell == expected.IsTell && got.IsGameFeedback == expected.IsGameFeedback,
                 qPrintable(QStringLiteral("record %1").arg(i)));
    }
}

void tst_Loader::recordsDoNotDependOnReadSize_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray body = "[06/14/2005 21:03:17] Veyla: caf\xE9\r\n\r"
                            "[06/14/2005 21:03:18] [Trade: Orrik] ore\r\r\n"
                            "\0\0[06/14/2005 21:03:19] Orrik tells you: \0hi\n\n"
                            "[06/14/2005 21:03:20] You tell Veyla: yes\r";
    QTest::newRow("windows-1252, every line end, NULs") << kHeader + body;
    QTest::newRow("no header line end") << QByteArray("h");
    QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBF") + kHeader +
                                       QStringLiteral(
                                           "[06/14/2005 21:03:17] Veyla: caf\u00E9 \u20AC \U0001F600\r\n"
                                           "[06/14/2005 21:03:18] \u4E2D\u6587 \r\n\r")
                                           .toUtf8();
    const QString text = QStringLiteral("h\r\n[06/14/2005 21:03:17] Veyla: \u20AC\U0001F600\r\n\rx\r");
    QTest::newRow("UTF-16 LE mark") << QByteArray("\xFF\xFE") +
                                           QByteArray(reinterpret_cast<const char *>(text.utf16()),
                                                      text.size() * 2);
    QByteArray big;
    for (QChar c : text)
        big.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
    QTest::newRow("UTF-16 BE mark") << QByteArray("\xFE\xFF") + big;
    QTest::newRow("mark only") << QByteArray("\xEF\xBB\xBF");
}

void tst_Loader::recordsDoNotDependOnReadSize()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = writeLog(dir, bytes);
    const modMain::LoadResult whole = loadWithReadSize(path, bytes.size() + 1);
    compareLogs(whole.log, reference::load(bytes), "as decoded and split in one go");
    for (qsizetype readSize = 0; readSize <= bytes.size(); ++readSize) {
        const modMain::LoadResult r = loadWithReadSize(path, readSize);
        QCOMPARE(r.status, whole.status);
        compareLogs(r.log, whole.log, qPrintable(QStringLiteral("read size %1").arg(readSize)));
        if (QTest::currentTestFailed())
            return;
    }
}

namespace {

// The records readLogLines hands on, in a log of their own, for comparison with a load.
modMain::LoadedChatLog recordsOfLines(const QString &path, qsizetype readSize, LoadStatus *status)
{
    modMain::LoadedChatLog log;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot open %s", qPrintable(path));
    modMain::LoadOptions options;
    options.readSize = readSize;
    *status =
        modMain::readLogLines(file, options, [&](const modMain::LogLine &l) {
            log.ChatLog.append(modMain::ChatLine{l.timeStamp, l.chatName.toString(), l.isChannel, l.isTell,
                                                 l.text().toString(), l.isGameFeedback, false});
            if (!log.ChatNames.contains(l.chatName))
                log.ChatNames.append(l.chatName.toString());
        }).status;
    return log;
}

} // namespace

void tst_Loader::linesReadOneByOneGiveTheLoadedRecords()
{
    QTemporaryDir dir;
    const QByteArray bytes = kHeader + "[06/14/2005 21:03:17] Veyla: caf\xE9\r\n\r"
                                       "[06/14/2005 21:03:18] [Trade: Orrik] ore\r\r\n"
                                       "[06/14/2005 21:05:40] Orrik tells you: hi\n"
                                       "You have gathered 3 iron ore.\r\n"
                                       "[06/14/2005 21:03:20] You tell Veyla: yes";
    const QString path = writeLog(dir, bytes);
    const modMain::LoadResult loaded = modMain::LoadChatLog(path);
    for (qsizetype readSize : {1, 7, 1 << 18}) {
        LoadStatus status = LoadStatus::FileError;
        const modMain::LoadedChatLog read = recordsOfLines(path, readSize, &status);
        QCOMPARE(status, LoadStatus::Loaded);
        compareLogs(read, loaded.log, qPrintable(QStringLiteral("read size %1").arg(readSize)));
    }
    LoadStatus status = LoadStatus::Loaded;
    recordsOfLines(writeLog(dir, kHeader + "\r\n\n", QStringLiteral("empty.txt")), 4, &status);
    QCOMPARE(status, LoadStatus::NoLines);

    // Only the chats asked for, in file order; a file with records but none of them still loaded.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList texts;
    const auto keep = [&](const modMain::LogLine &l) { texts.append(l.text().toString()); };
    QCOMPARE(modMain::readLogLines(file, {}, keep, {QStringLiteral("Orrik"), QStringLiteral("Veyla")}).status,
             LoadStatus::Loaded);
    QCOMPARE(texts,
             (QStringList{QStringLiteral(" Orrik tells you: hi"), QStringLiteral(" You tell Veyla: yes")}));
    texts.clear();
    QVERIFY(file.seek(0));
    QCOMPARE(modMain::readLogLines(file, {}, keep, {QStringLiteral("Nobody")}).status, LoadStatus::Loaded);
    QVERIFY(texts.isEmpty());
}

void tst_Loader::linesOfSomeChatsAreThoseOfTheLoad_data()
{
    QTest::addColumn<QByteArray>("bytes");
    // Names that occur in other chats' lines, inside longer names, across read boundaries; lines that
    // end in cut sequences; names the encoding cannot hold.
    const QString body =
        QStringLiteral("[06/14/2005 21:03:17] [Caf\u00E9: Orrik] Orrik tells you: not a tell\r\n\r"
                       "[06/14/2005 21:03:18] Orrikson tells you: longer name\r\r\n"
                       "[06/14/2005 21:03:19] Orrik tells you: hi \u20AC\n"
                       "You tell Orrik: no timestamp\r"
                       "[06/14/2005 21:03:20] Veyla: public, names Orrik and Caf\u00E9\r\n"
                       "[06/14/2005 21:03:21] [Guild] no name\r\n"
                       "[06/14/2005 21:03:22] You tell \u4E2D\u6587: wide\r\n"
                       "[06/14/2005 21:03:23] [Caf\u00E9: Veyla] last");
    const QByteArray header = "Chat log for Veyla started 06/14/2005 21:00:03\r\n";
    QTest::newRow("windows-1252") << header + modMain::encodeAnsi(body);
    QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBF") + header + body.toUtf8() +
                                       "\r\n[06/14/2005 21:03:24] Orrik tells you: cut \xE2\x82\r\n"
                                       "[06/14/2005 21:03:25] Orrik tells you: \xF0\x9F";
    const QString utf16 = QString::fromLatin1(header) + body;
    QTest::newRow("UTF-16 LE mark") << QByteArray("\xFF\xFE") +
                                           QByteArray(reinterpret_cast<const char *>(utf16.utf16()),
                                                      utf16.size() * 2);
}

void tst_Loader::linesOfSomeChatsAreThoseOfTheLoad()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = writeLog(dir, bytes);
    const modMain::LoadResult loaded = modMain::LoadChatLog(path);
    QCOMPARE(loaded.status, LoadStatus::Loaded);
    // Each line also tells its number in the file, which a line passed over unread still counts.
    QList<qint64> numbers;
    reference::recordLines(reference::decodeWhole(bytes), &numbers);
    QCOMPARE(numbers.size(), loaded.log.ChatLog.size());
    const QList<QStringList> selections = {
        {QStringLiteral("Orrik")},
        {QStringLiteral("Caf\u00E9"), QStringLiteral("\u4E2D\u6587")},
        {QStringLiteral("Orr")},
        {QStringLiteral("Nobody"), QStringLiteral("\U0001F600")},
        {QString(), QStringLiteral("Veyla")},
        {modMain::kPublicChatName, QStringLiteral("Orrikson")},
        {},
    };
    // Texts wanted too: one in the timestamp's bracket and the text ("] Orr") is in no text; a line end
    // is in no line.
    const QStringList texts = {QString(),
                               QStringLiteral("Orrik"),
                               QStringLiteral("\u20AC"),
                               QStringLiteral("] Orr"),
                               QStringLiteral("Caf\u00E9"),
                               QStringLiteral("hi \u20AC\n"),
                               QStringLiteral("\U0001F600")};
    for (const QStringList &chats : selections) {
        for (const QString &text : texts) {
            QStringList expected;
            for (qsizetype i = 0; i < loaded.log.ChatLog.size(); ++i) {
                const modMain::ChatLine r = loaded.log.ChatLog[i];
                if ((chats.isEmpty() || chats.contains(r.ChatName)) && r.Text.contains(text))
                    expected.append(r.ChatName + u'|' + r.Text + u'|' + QString::number(r.TimeStamp) + u'|' +
                                    QString::number(numbers[i]));
            }
            for (qsizetype readSize : {1, 2, 5, 64, 1 << 18}) {
                QFile file(path);
                QVERIFY(file.open(QIODevice::ReadOnly));
                modMain::LoadOptions options;
                options.readSize = readSize;
                QStringList got;
                const modMain::LoadResult r = modMain::readLogLines(
                    file, options,
                    [&](const modMain::LogLine &l) {
                        const modMain::ChatLine parsed = modMain::ParseChatLine(l.line.toString());
                        QCOMPARE(l.chatName, parsed.ChatName);
                        got.append(l.chatName.toString() + u'|' + l.text().toString() + u'|' +
                                   QString::number(l.timeStamp) + u'|' + QString::number(l.number));
                    },
                    chats, text);
                QCOMPARE(r.status, LoadStatus::Loaded);
                QVERIFY2(got == expected,
                         qPrintable(QStringLiteral("%1 with \"%5\", read size %2:\n%3\nexpected\n%4")
                                        .arg(chats.join(u','))
                                        .arg(readSize)
                                        .arg(got.join(u'\n'), expected.join(u'\n'), text)));
            }
        }
    }
}

void tst_Loader::progressIsReportedAndCancelStopsTheLoad()
{
    QTemporaryDir dir;
    QByteArray bytes = kHeader;
    while (bytes.size() < 100000)
        bytes += "[06/14/2005 21:03:17] [Trade: Orrik] selling iron ore\r\n";
    const QString path = writeLog(dir, bytes);

    modMain::LoadOptions options;
    options.readSize = 4096;
    QList<qint64> reported;
    options.progress = [&](qint64 done, qint64 total) {
        QCOMPARE(total, bytes.size());
        reported.append(done);
    };
    QCOMPARE(modMain::LoadChatLog(path, options).status, LoadStatus::Loaded);
    QVERIFY(reported.size() > 10);
    QVERIFY(std::is_sorted(reported.cbegin(), reported.cend()));
    QCOMPARE(reported.last(), bytes.size());

    // Raised part-way, as a Cancel button would from another thread: nothing is kept.
    std::atomic<bool> cancel{false};
    options.cancel = &cancel;
    reported.clear();
    options.progress = [&](qint64 done, qint64) {
        reported.append(done);
        if (done >= 20000)
            cancel = true;
    };
    const modMain::LoadResult r = modMain::LoadChatLog(path, options);
    QCOMPARE(r.status, LoadStatus::Cancelled);
    QVERIFY(r.log.ChatLog.isEmpty() && r.log.ChatNames.isEmpty());
    QVERIFY(reported.last() < bytes.size());
}

namespace {

modMain::LoadResult loadInParts(const QString &path, int parts, qsizetype readSize = qsizetype(1) << 18)
{
    modMain::LoadOptions options;
    options.parts = parts;
    options.readSize = readSize;
    return modMain::LoadChatLog(path, options);
}

QString describeCounts(const QStringList &names, const QList<modMain::ChatCount> &counts)
{
    QString text;
    for (qsizetype i = 0; i < names.size(); ++i)
        text += QStringLiteral("%1 %2 %3 %4 %5%6%7\n")
                    .arg(names[i])
                    .arg(counts[i].lines)
                    .arg(counts[i].first, 0, 'g', 17)
                    .arg(counts[i].last, 0, 'g', 17)
                    .arg(counts[i].channel)
                    .arg(counts[i].tell)
                    .arg(counts[i].publicChat);
    return text;
}

// The chats of a loaded log counted record by record, as countChats counts them without keeping any.
QString countsOf(const modMain::LoadedChatLog &log)
{
    QStringList names;
    QList<modMain::ChatCount> counts;
    for (const modMain::ChatLine &line : log.ChatLog) {
        qsizetype i = names.indexOf(line.ChatName);
        if (i < 0) {
            i = names.size();
            names.append(line.ChatName);
            counts.append(modMain::ChatCount());
        }
        modMain::ChatCount &c = counts[i];
        ++c.lines;
        (line.IsChannel ? c.channel : line.IsTell ? c.tell : c.publicChat) = true;
        if (line.TimeStamp != 0.0) {
            c.first = c.first == 0.0 ? line.TimeStamp : c.first;
            c.last = line.TimeStamp;
        }
    }
    return describeCounts(names, counts);
}

QString countedChats(const QString &path, int parts, qsizetype readSize)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot open");
    modMain::LoadOptions options;
    options.parts = parts;
    options.readSize = readSize;
    QStringList names;
    QList<modMain::ChatCount> counts;
    modMain::countChats(file, options, &names, &counts);
    return describeCounts(names, counts);
}

} // namespace

void tst_Loader::partsGiveTheRecordsOfOneRead_data()
{
    QTest::addColumn<QByteArray>("bytes");
    // Every kind of line end, empty lines, a line longer than several parts, a last line without an end:
    // with ever more parts, a cut falls on every byte, between CR and LF too.
    const QByteArray body = "[06/14/2005 21:03:17] Veyla: caf\xE9\r\n\r"
                            "[06/14/2005 21:03:18] [Trade: Orrik] ore\r\r\n\n"
                            "[06/14/2005 21:03:19] Orrik tells you: hi\n\r\n"
                            "You have gathered 3 iron ore.\r"
                            "[06/14/2005 21:03:20] You tell Veyla: " +
                            QByteArray(150, 'y') + "\r\n\r\n[06/14/2005 21:03:21] [Trade: Veyla] last";
    QTest::newRow("windows-1252") << kHeader + body;
    QTest::newRow("header only, cut inside it") << QByteArray("Chat log header without an end");
    QTest::newRow("lone CR at the end") << kHeader + "[1/1/2005 10:00] a\r";
    const QString text = QStringLiteral("h\r\n[06/14/2005 21:03:17] Veyla: \u20AC\U0001F600 \u4E2D\r\n\r"
                                        "[06/14/2005 21:03:18] [\u4E2D: x] y\n\r\nx\r\u00E9\r\n");
    // Cut and invalid sequences just before line ends must not swallow them.
    QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBF") + text.toUtf8() +
                                       "a\xE2\x82\r\nb\xF0\x9F\nc\xC3";
    QTest::newRow("UTF-16 LE mark, odd byte at the end")
        << QByteArray("\xFF\xFE") +
               QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2) + "\r";
    QByteArray big;
    for (QChar c : text)
        big.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
    // U+0D0A holds the bytes of CR and LF: only whole units may count as line ends.
    QTest::newRow("UTF-16 BE mark") << QByteArray("\xFE\xFF") + big + "\x0D\x0A\x0A\x0D\x00\x0A\x00x";
}

void tst_Loader::partsGiveTheRecordsOfOneRead()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = writeLog(dir, bytes);
    const modMain::LoadResult whole = loadInParts(path, 1);
    compareLogs(whole.log, reference::load(bytes), "in one read");
    for (int parts = 2; parts <= bytes.size() + 2; ++parts) {
        for (qsizetype readSize : {qsizetype(1) << 18, qsizetype(5)}) {
            const modMain::LoadResult r = loadInParts(path, parts, readSize);
            QCOMPARE(r.status, whole.status);
            compareLogs(r.log, whole.log, qPrintable(QStringLiteral("%1 parts").arg(parts)));
            if (readSize > 5) // the counts see the same cuts; one read size is enough for them
                QCOMPARE(countedChats(path, parts, readSize), countsOf(whole.log));
            if (QTest::currentTestFailed())
                return;
        }
    }
}

void tst_Loader::partsCutInsideLinesLongerThanASearchStep_data()
{
    QTest::addColumn<QByteArray>("bytes");
    // Where a part starts is found by reading back from its share of the file, 64 KiB at a time: these
    // lines span several such steps, and many shares fall inside them.
    const QString text = QStringLiteral("h\r\n[06/14/2005 21:03:17] Veyla: caf\u00E9\r\n"
                                        "[06/14/2005 21:03:18] Orrik tells you: ") +
                         QString(150000, QChar(0xE9)) +
                         QStringLiteral("\r\n\r\n[06/14/2005 21:03:19] [Trade: Orrik] ") +
                         QString(70000, u'x') + QStringLiteral("\r[06/14/2005 21:03:20] Veyla: last\r\n");
    QTest::newRow("windows-1252") << modMain::encodeAnsi(text);
    QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    QTest::newRow("UTF-16 LE mark") << QByteArray("\xFF\xFE") +
                                           QByteArray(reinterpret_cast<const char *>(text.utf16()),
                                                      text.size() * 2);
    QByteArray big("\xFE\xFF");
    for (QChar c : text)
        big.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
    QTest::newRow("UTF-16 BE mark") << big;
}

void tst_Loader::partsCutInsideLinesLongerThanASearchStep()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = writeLog(dir, bytes);
    const modMain::LoadedChatLog expected = reference::load(bytes);
    QCOMPARE(expected.ChatLog.size(), 4);
    for (int parts = 1; parts <= 40; ++parts) {
        const modMain::LoadResult r = loadInParts(path, parts);
        QCOMPARE(r.status, LoadStatus::Loaded);
        compareLogs(r.log, expected, qPrintable(QStringLiteral("%1 parts").arg(parts)));
        if (QTest::currentTestFailed())
            return;
    }
}

void tst_Loader::partsReportProgressAndCancel()
{
    QTemporaryDir dir;
    QByteArray bytes = kHeader;
    while (bytes.size() < 200000)
        bytes += "[06/14/2005 21:03:17] [Trade: Orrik] selling iron ore\r\n";
    const QString path = writeLog(dir, bytes);

    modMain::LoadOptions options;
    options.parts = 8;
    options.readSize = 4096;
    QList<qint64> reported;
    options.progress = [&](qint64 done, qint64 total) {
        QCOMPARE(total, bytes.size());
        reported.append(done);
    };
    const modMain::LoadResult loaded = modMain::LoadChatLog(path, options);
    QCOMPARE(loaded.status, LoadStatus::Loaded);
    QCOMPARE(loaded.log.ChatLog.size(), (bytes.size() - kHeader.size()) / 55);
    QVERIFY(!reported.isEmpty());
    QVERIFY(std::is_sorted(reported.cbegin(), reported.cend()));
    QCOMPARE(reported.last(), bytes.size());

    std::atomic<bool> cancel{false};
    options.cancel = &cancel;
    options.progress = [&](qint64 done, qint64) {
        if (done >= 20000)
            cancel = true;
    };
    const modMain::LoadResult r = modMain::LoadChatLog(path, options);
    QCOMPARE(r.status, LoadStatus::Cancelled);
    QVERIFY(r.log.ChatLog.isEmpty() && r.log.ChatNames.isEmpty());
}

void tst_Loader::appendedLogsMergeTheirChats()
{
    QTemporaryDir dir;
    const QByteArray first = kHeader + "[06/14/2005 21:03:17] [Trade: Orrik] ore\r\n"
                                       "[06/14/2005 21:03:18] Veyla tells you: hi\r\n";
    const QByteArray second = kHeader + "[06/15/2005 08:00:00] Brannoc tells you: later \u20AC\r\n"
                                        "[06/15/2005 08:00:01] [Trade: Veyla] more\r\n"
                                        "[06/15/2005 08:00:02] Veyla tells you: again\r\n";
    // Each from a file of its own, and the same lines as one file: the same records and chats.
    modMain::LoadResult a = modMain::LoadChatLog(writeLog(dir, first, QStringLiteral("a.txt")));
    modMain::LoadResult b = modMain::LoadChatLog(writeLog(dir, second, QStringLiteral("b.txt")));
    const modMain::LoadResult both =
        modMain::LoadChatLog(writeLog(dir, first + second.mid(kHeader.size()), QStringLiteral("ab.txt")));
    const modMain::ChatLogRecords before = a.log.ChatLog;
    a.log.append(std::move(b.log));
    compareLogs(a.log, both.log, "appended");
    QCOMPARE(a.log.ChatLog.chatNames(), a.log.ChatNames);
    QCOMPARE(before.size(), 2); // a copy taken before is left as it was
    QCOMPARE(before.chatNames(), (QStringList{QStringLiteral("Trade"), QStringLiteral("Veyla")}));

    // Records added one by one after a load join the chats the same way.
    modMain::ChatLogRecords records = both.log.ChatLog;
    records.append(modMain::ParseChatLine(QStringLiteral("[06/15/2005 08:00:03] Orrik tells you: \u4E2D")));
    QCOMPARE(records.chatNames().last(), QStringLiteral("Orrik"));
    QCOMPARE(records.last().Text, QStringLiteral(" Orrik tells you: \u4E2D"));
    QVERIFY(records.last().IsTell);
    records.append(modMain::ChatLogRecords(records)); // itself, doubled
    QCOMPARE(records.size(), 12);
    QCOMPARE(records[11].Text, records[5].Text);
    QCOMPARE(records.chatNames().size(), 4);
}

void tst_Loader::longLinesLoadInLinearTime()
{
    // Lines far longer than a read, read in small pieces: a splitter that searched a line again from
    // its start on every read would take many minutes here, and the test's timeout ends it.
    const qsizetype length = 32 << 20;
    const QByteArray bytes = kHeader + "[06/14/2005 21:03:17] Orrik tells you: " + QByteArray(length, 'x') +
                             "\r\n" + QByteArray(length / 4, '\0') + "\r\n[06/14/2005 21:03:18] Veyla: after";
    QTemporaryDir dir;
    const modMain::LoadResult r = loadWithReadSize(writeLog(dir, bytes), 127);
    QCOMPARE(r.status, LoadStatus::Loaded);
    QCOMPARE(r.log.ChatLog.size(), 3);
    QCOMPARE(r.log.ChatLog[0].ChatName, QStringLiteral("Orrik"));
    QCOMPARE(r.log.ChatLog[0].Text.size(), length + 18);
    QVERIFY(r.log.ChatLog[0].Text.endsWith(QStringLiteral("xxxx")));
    // A run of NULs (a disk error, a crash while the game wrote) is one line of text like any other.
    QCOMPARE(r.log.ChatLog[1].Text, QString(length / 4, QChar(0)));
    QCOMPARE(r.log.ChatLog[2].Text, QStringLiteral(" Veyla: after"));
}

void tst_Loader::cutAndInvalidSequencesDecodeAsInOneGo_data()
{
    QTest::addColumn<QByteArray>("bytes");  // after the byte-order mark
    QTest::addColumn<bool>("utf8");         // else UTF-16 LE
    QTest::addColumn<QStringList>("texts"); // the records' texts, decoded by hand

    const QString r = QStringLiteral("\uFFFD");
    // The line end after a cut sequence must survive, or two chats merge into one record.
    QTest::newRow("cut sequence before LF")
        << QByteArray("h\n\xE2\x82\nab\n") << true << QStringList{r + r, QStringLiteral("ab")};
    QTest::newRow("cut sequence before CR LF")
        << QByteArray("h\r\nx\xF0\x9F\x98\r\ny\xF0\x9F\x98\x80\r\n") << true
        << QStringList{QStringLiteral("x") + r + r + r, QStringLiteral("y\U0001F600")};
    QTest::newRow("invalid bytes between valid ones")
        << QByteArray("h\na\xE2\x28\xA1z \xC0\xAF \xED\xA0\x80 \xE2\x82\xE2\x82\xAC \x80\x80") << true
        << QStringList{QStringLiteral("a") + r + u'(' + r + QStringLiteral("z ") + r + r + u' ' + r + r + r +
                       u' ' + r + r + QStringLiteral("\u20AC ") + r + r};
    QTest::newRow("sequence cut by the end of the file")
        << QByteArray("h\nok\ncaf\xC3") << true
        << QStringList{QStringLiteral("ok"), QStringLiteral("caf") + r};
    QTest::newRow("UTF-16 odd byte at the end of the file")
        << QByteArray("h\0\n\0a\0\n\0b\0=\xD8\x00\xDE", 15) << false
        << QStringList{QStringLiteral("a"), QStringLiteral("b\U0001F600") + r};
}

void tst_Loader::cutAndInvalidSequencesDecodeAsInOneGo()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, utf8);
    QFETCH(QStringList, texts);
    QTemporaryDir dir;
    const QString path = writeLog(dir, (utf8 ? QByteArray("\xEF\xBB\xBF") : QByteArray("\xFF\xFE")) + bytes);
    // Reads of every size put a read boundary at every position of every sequence.
    for (qsizetype readSize = 1; readSize <= bytes.size() + 3; ++readSize) {
        const modMain::LoadResult r = loadWithReadSize(path, readSize);
        QCOMPARE(r.status, LoadStatus::Loaded);
        const QStringList got = textsOf(r.log);
        QVERIFY2(got == texts,
                 qPrintable(QStringLiteral("read size %1: %2").arg(readSize).arg(got.join(u'|'))));
    }
    if (utf8) {
        // And as Qt decodes the same bytes in one piece.
        static const QRegularExpression kLineEnd(QStringLiteral("\r\n|\n|\r"));
        const QStringList lines = QString::fromUtf8(bytes).split(kLineEnd, Qt::SkipEmptyParts).mid(1);
        QCOMPARE(lines, texts);
    }
}

void tst_Loader::outOfMemoryIsAStatusAndFreesAll()
{
    EVENFALL_RUN_IN_CHILD_WITH_LIMITS();
    // A single line far larger than the memory left to this process, and many ordinary lines for the
    // other allocations.
    QTemporaryDir dir;
    const QString huge = dir.filePath(QStringLiteral("huge.txt"));
    QVERIFY(childprocess::writeHugeLog(huge));
    const QString manyLines = writeLog(
        // Four million records: more than fit into the headroom however compactly they are kept.
        dir, kHeader + QByteArray("[06/14/2005 21:03:17] Orrik tells you: a line\r\n").repeated(1 << 22),
        QStringLiteral("many.txt"));
    const QString small =
        writeLog(dir, kHeader + "[06/14/2005 21:03:17] Veyla: still here\r\n", QStringLiteral("small.txt"));
    QVERIFY(childprocess::limitAddressSpace(qint64(96) << 20));

    for (const QString &path : {huge, manyLines}) {
        const modMain::LoadResult r = modMain::LoadChatLog(path);
        QCOMPARE(r.status, LoadStatus::OutOfMemory);
        QVERIFY(!r.errorText.isEmpty());
        QVERIFY(r.log.ChatLog.isEmpty());
        QVERIFY(r.log.ChatNames.isEmpty());
    }
    // Everything the failed loads took was given back.
    const modMain::LoadResult r = modMain::LoadChatLog(small);
    QCOMPARE(r.status, LoadStatus::Loaded);
    QCOMPARE(textsOf(r.log), QStringList{QStringLiteral(" Veyla: still here")});
}

void tst_Loader::fileCutShortWhileReadLoadsNothing()
{
#ifndef Q_OS_LINUX
    QSKIP("finds the loader's open file through /proc");
#else
    QTemporaryDir dir;
    QByteArray bytes = kHeader;
    while (bytes.size() < (16 << 20))
        bytes += "[06/14/2005 21:03:17] Orrik tells you: one more line\r\n";
    const QString path = writeLog(dir, bytes);

    // Read a byte at a time, the load takes seconds; the file is cut once the loader has it open.
    modMain::LoadResult result;
    std::atomic<bool> done = false;
    std::thread loader([&] {
        result = loadWithReadSize(path, 1);
        done = true;
    });
    auto loaderHasItOpen = [&] {
        const QDir fds(QStringLiteral("/proc/self/fd"));
        for (const QFileInfo &fd : fds.entryInfoList(QDir::Files | QDir::System)) {
            if (fd.symLinkTarget() == QFileInfo(path).canonicalFilePath())
                return true;
        }
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(loaderHasItOpen() || done, 20000);
    const bool cut = !done && QFile::resize(path, 0);
    loader.join();
    if (!cut)
        QSKIP("the load ended before the file could be cut");
    QCOMPARE(result.status, LoadStatus::FileError);
    QVERIFY2(result.errorText.contains(QLatin1String("shorter")), qPrintable(result.errorText));
    QVERIFY(result.log.ChatLog.isEmpty());
#endif
}

void tst_Loader::loadsFromAnOpenDeviceWhereItStands()
{
    const QByteArray log =
        kHeader + "[06/14/2005 21:03:17] Veyla: caf\xE9\r\n[06/14/2005 21:03:18] [Trade: Orrik] ore";
    QTemporaryDir dir;
    const modMain::LoadResult fromPath = modMain::LoadChatLog(writeLog(dir, log));
    QByteArray bytes = "skipped\n" + log;
    QBuffer buffer(&bytes);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    QVERIFY(buffer.seek(8));
    const modMain::LoadResult fromDevice = modMain::LoadChatLog(buffer);
    QCOMPARE(fromDevice.status, LoadStatus::Loaded);
    compareLogs(fromDevice.log, fromPath.log, "from a device");
}

void tst_Loader::encodeAnsiRoundTripsAndReplaces()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    QCOMPARE(modMain::encodeAnsi(modMain::decodeAnsi(all)), all);
    QCOMPARE(modMain::encodeAnsi(QStringLiteral("a\u4E2Db\U0001F600c\u0080")), QByteArray("a?b?c?"));
    // Never a look-alike for a character the code page lacks (Windows' "best fit" writes A and =).
    QCOMPARE(modMain::encodeAnsi(QStringLiteral("\u0100\u2260\u00E9")), QByteArray("??\xE9"));
}

void tst_Loader::writeTextFileReplacesOrKeepsOld()
{
    QTemporaryDir dir;
    const QString path = writeLog(dir, "old content");
    QString error;
    QVERIFY(modMain::writeTextFile(path, QStringLiteral("caf\u00E9 \u20AC\r\n"), &error));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("caf\xE9 \x80\r\n"));
    f.close();

    // A folder in the way cannot be replaced: the call fails with a reason and writes nothing.
    const QString blocked = dir.filePath(QStringLiteral("sub"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    QVERIFY(!modMain::writeTextFile(blocked, QStringLiteral("x"), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(QFileInfo(blocked).isDir());
    QVERIFY(
        !modMain::writeTextFile(dir.filePath(QStringLiteral("missing/x.txt")), QStringLiteral("x"), &error));
}

namespace {

#ifdef Q_OS_UNIX
bool isFifo(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
}

bool isCharDevice(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISCHR(st.st_mode);
}

// Reads the first byte of the FIFO at path and goes away, in a thread of its own.
std::thread fifoReader(const QString &path, QByteArray *got)
{
    return std::thread([path, got] {
        QFile fifo(path);
        if (fifo.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            *got = fifo.read(1);
    });
}
#endif

} // namespace

void tst_Loader::writeTextFileWritesDevicesAndFifosInPlace()
{
#ifndef Q_OS_UNIX
    QSKIP("devices and FIFOs are Unix file system objects");
#else
    QTemporaryDir dir;
    QString error;
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    // With a reader: the text goes through the FIFO, which stays a FIFO. (Our own read end, opened
    // without waiting, is the reader; the text fits into the pipe's buffer.)
    const int readEnd = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(readEnd >= 0);
    const bool written = modMain::writeTextFile(fifo, QStringLiteral("caf\u00E9\r\n"), &error, false);
    char buffer[16] = {};
    const ssize_t received = ::read(readEnd, buffer, sizeof buffer);
    ::close(readEnd);
    QVERIFY2(written, qPrintable(error));
    QVERIFY(isFifo(fifo));
    QCOMPARE(QByteArray(buffer, int(std::max<ssize_t>(received, 0))), QByteArray("caf\xE9\r\n"));

    // Without one, a caller that must not wait is told so at once.
    QVERIFY(!modMain::writeTextFile(fifo, QStringLiteral("x"), &error, false));
    QVERIFY(!error.isEmpty());
    QVERIFY(isFifo(fifo));

    // A reader that goes away is a failed write, not the end of this process.
    QByteArray got;
    std::thread reader = fifoReader(fifo, &got);
    const bool toLeaver = modMain::writeTextFile(fifo, QString(1 << 20, u'x'), &error);
    reader.join();
    QVERIFY(!toLeaver);
    QCOMPARE(error, QString::fromLocal8Bit(std::strerror(EPIPE)));
    QVERIFY(isFifo(fifo));

    // Device nodes of our own, made like the system's full and null devices.
    const QString full = dir.filePath(QStringLiteral("full")), null = dir.filePath(QStringLiteral("null"));
    if (::mknod(QFile::encodeName(full).constData(), S_IFCHR | 0600, makedev(1, 7)) != 0 ||
        ::mknod(QFile::encodeName(null).constData(), S_IFCHR | 0600, makedev(1, 3)) != 0)
        QSKIP("cannot make device nodes here (not root, or a file system without devices)");
    QVERIFY(!modMain::writeTextFile(full, QStringLiteral("text"), &error));
    QCOMPARE(error, QString::fromLocal8Bit(std::strerror(ENOSPC)));
    QVERIFY(isCharDevice(full));
    QVERIFY2(modMain::writeTextFile(null, QStringLiteral("text"), &error), qPrintable(error));
    QVERIFY(isCharDevice(null));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
             QStringList({QStringLiteral("fifo"), QStringLiteral("full"), QStringLiteral("null")}));
#endif
}

void tst_Loader::writeTextFileFollowsSymbolicLinks()
{
#ifndef Q_OS_UNIX
    QSKIP("QFile::link makes a shortcut on Windows, not a symbolic link");
#endif
    QTemporaryDir dir;
    const QString target = writeLog(dir, "old", QStringLiteral("target.txt"));
    const QString link = dir.filePath(QStringLiteral("link.txt"));
    QVERIFY(QFile::link(target, link));
    QString error;
    QVERIFY2(modMain::writeTextFile(link, QStringLiteral("new"), &error), qPrintable(error));
    QVERIFY(QFileInfo(link).isSymLink());
    QFile f(target);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("new"));
}

QTEST_GUILESS_MAIN(tst_Loader)
#include "tst_loader.moc"

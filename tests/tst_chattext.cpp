#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include "ChatExport.h"
#include "ChatSummary.h"
#include "LogSearch.h"
#include "ReferenceModel.h"
#include "TextCodec.h"
#include "TextMatcher.h"
#include "modMain.h"

using modMain::ChatLine;
using modMain::DisplayOptions;

namespace {

ChatLine record(const QString &name, const QString &text, double stamp = 0.0, bool feedback = false)
{
    ChatLine r;
    r.ChatName = name;
    r.Text = text;
    r.TimeStamp = stamp;
    r.IsGameFeedback = feedback;
    return r;
}

DisplayOptions options(bool timestamps, bool feedback, bool system)
{
    DisplayOptions o;
    o.ShowTimestamp = timestamps;
    o.DisplayGameFeedback = feedback;
    o.DisplaySystem = system;
    return o;
}

} // namespace

class tst_ChatText : public QObject {
    Q_OBJECT
private slots:
    void assembly_data();
    void assembly();
    void mergedChatsInterleaveInFileOrder();
    void timestampsPrintBackTheParsedSecond();
    void namesSharingCharactersAreToldApartByLength();
    void sharedNamesMatchLineByLineAssembly();
    void loadedLogAssemblesAsItsRecords();
    void findNearest_data();
    void findNearest();
    void findNearestMatchesStepwiseSearch();
    void pageCount_data();
    void pageCount();
    void pagesJoinBackIntoTheText_data();
    void pagesJoinBackIntoTheText();
    void lineLongerThanAPageShowsTheRest();
    void chatSummariesAndOrders_data();
    void chatSummariesAndOrders();
    void exportedPage_data();
    void exportedPage();
    void exportInPiecesWritesTheWholeText();
};

void tst_ChatText::assembly_data()
{
    QTest::addColumn<QList<ChatLine>>("log");
    QTest::addColumn<QStringList>("selection");
    QTest::addColumn<bool>("timestamps");
    QTest::addColumn<bool>("feedback");
    QTest::addColumn<bool>("system");
    QTest::addColumn<QString>("expected");

    const double march7 = modMain::makeDateTime(modMain::daySerial(2005, 3, 7), 14 * 3600 + 5 * 60 + 9);
    const QString pub = QStringLiteral("Public/Global");
    const QList<ChatLine> log = {
        record(pub, QStringLiteral(" hello"), march7),
        record(QStringLiteral("Trade"), QStringLiteral(" [Trade: Orrik] ore"), march7),
        record(pub, QStringLiteral(" You have gathered 3 iron ore."), march7, true),
        record(QStringLiteral("orrik"), QStringLiteral(" orrik tells you: lower"), march7),
        record(pub, QStringLiteral(" bye"), 0.0),
    };
    QTest::newRow("one chat, no timestamps") << log << QStringList{pub} << false << true << true
                                             << " hello\r\n You have gathered 3 iron ore.\r\n bye\r\n";
    QTest::newRow("timestamp directly before text")
        << log << QStringList{QStringLiteral("Trade")} << true << true << true
        << "[03/07/2005 14:05:09] [Trade: Orrik] ore\r\n";
    QTest::newRow("no timestamp prints the epoch")
        << log << QStringList{pub} << true << false << true
        << "[03/07/2005 14:05:09] hello\r\n[12/30/1899 00:00:00] bye\r\n";
    QTest::newRow("feedback hidden, others stay in order")
        << log << QStringList{pub} << false << false << true << " hello\r\n bye\r\n";
    QTest::newRow("display system off changes nothing")
        << log << QStringList{pub} << false << true << false
        << " hello\r\n You have gathered 3 iron ore.\r\n bye\r\n";
    QTest::newRow("names compare exactly")
        << log << QStringList{QStringLiteral("Orrik")} << false << true << true << "";
    QTest::newRow("no match is empty")
        << log << QStringList{QStringLiteral("Nobody")} << true << true << true << "";
    QTest::newRow("empty selection is empty") << log << QStringList{} << false << true << true << "";
    QTest::newRow("no log is empty") << QList<ChatLine>{} << QStringList{pub} << false << true << true << "";
    QList<ChatLine> nameless = {record(QString(), QStringLiteral(" [Guild] a")),
                                record(QStringLiteral(""), QStringLiteral(" [Guild] b")),
                                record(QStringLiteral("x"), QStringLiteral(" [x: y] c"))};
    QTest::newRow("the empty name, null or not")
        << nameless << QStringList{QString(), QStringLiteral("")} << false << true << true
        << " [Guild] a\r\n [Guild] a\r\n [Guild] b\r\n [Guild] b\r\n";
    QTest::newRow("many names, the empty one twice")
        << nameless << QStringList{QString(), "a", "b", "c", "d", "e", "f", "x", QStringLiteral(""), "g"}
        << false << true << true << " [Guild] a\r\n [Guild] a\r\n [Guild] b\r\n [Guild] b\r\n [x: y] c\r\n";
    QTest::newRow("a name twice shows its lines twice")
        << log << QStringList{QStringLiteral("Trade"), QStringLiteral("Trade")} << false << true << true
        << " [Trade: Orrik] ore\r\n [Trade: Orrik] ore\r\n";

    QList<ChatLine> systemLog = log;
    systemLog[0].IsSystem = true;
    QTest::newRow("system lines hidden when asked")
        << systemLog << QStringList{pub} << false << false << false << " bye\r\n";
    QList<ChatLine> empties = {record(pub, QString()), record(pub, QStringLiteral("x"))};
    QTest::newRow("empty text still ends its line")
        << empties << QStringList{pub} << false << true << true << "\r\nx\r\n";
}

void tst_ChatText::assembly()
{
    QFETCH(QList<ChatLine>, log);
    QFETCH(QStringList, selection);
    QFETCH(bool, timestamps);
    QFETCH(bool, feedback);
    QFETCH(bool, system);
    QFETCH(QString, expected);
    QCOMPARE(modMain::BuildChatText(log, selection, options(timestamps, feedback, system)), expected);
}

void tst_ChatText::mergedChatsInterleaveInFileOrder()
{
    QList<ChatLine> log;
    for (int i = 0; i < 6; ++i) {
        const QString name = i % 2 ? QStringLiteral("Veyla") : QStringLiteral("Orrik");
        log.append(record(name, QStringLiteral("%1 %2").arg(name).arg(i)));
        log.append(record(QStringLiteral("Trade"), QStringLiteral("noise")));
    }
    const QString expected =
        QStringLiteral("Orrik 0\r\nVeyla 1\r\nOrrik 2\r\nVeyla 3\r\nOrrik 4\r\nVeyla 5\r\n");
    const DisplayOptions o;
    QCOMPARE(modMain::BuildChatText(log, {QStringLiteral("Orrik"), QStringLiteral("Veyla")}, o), expected);
    QCOMPARE(modMain::BuildChatText(log, {QStringLiteral("Veyla"), QStringLiteral("Orrik")}, o), expected);
}

void tst_ChatText::timestampsPrintBackTheParsedSecond()
{
    QList<ChatLine> log;
    QString expected;
    QRandomGenerator rng(1899);
    for (int i = 0; i < 5000; ++i) {
        const QString stamp =
            QDate(1990, 1, 1).addDays(rng.bounded(20000)).toString(QStringLiteral("MM/dd/yyyy")) +
            QTime(0, 0).addSecs(rng.bounded(86400)).toString(QStringLiteral(" HH:mm:ss"));
        const QString line = QStringLiteral("[%1] Orrik tells you: %2").arg(stamp).arg(i);
        log.append(modMain::ParseChatLine(line));
        expected += line + QStringLiteral("\r\n");
    }
    QCOMPARE(modMain::BuildChatText(log, {QStringLiteral("Orrik")}, options(true, true, true)), expected);
}

void tst_ChatText::namesSharingCharactersAreToldApartByLength()
{
    // Two names over the same characters, as slices of one buffer can be.
    static const char16_t kChars[] = u"Orrik";
    const QString orr = QString::fromRawData(reinterpret_cast<const QChar *>(kChars), 3);
    const QString orrik = QString::fromRawData(reinterpret_cast<const QChar *>(kChars), 5);
    QList<ChatLine> log;
    for (int i = 0; i < 4; ++i)
        log.append(record(i % 2 ? orrik : orr, QString::number(i)));
    const DisplayOptions o;
    QCOMPARE(modMain::BuildChatText(log, {QStringLiteral("Orr")}, o), QStringLiteral("0\r\n2\r\n"));
    QCOMPARE(modMain::BuildChatText(log, {QStringLiteral("Orrik")}, o), QStringLiteral("1\r\n3\r\n"));
}

void tst_ChatText::sharedNamesMatchLineByLineAssembly()
{
    // Records that share one string per name, as a loaded log holds them: more names than any small
    // table of answers has room for, texts long and short, selections with repeats and misses.
    QRandomGenerator rng(4096);
    QStringList names;
    for (int i = 0; i < 150; ++i)
        names.append(QStringLiteral("Name%1").arg(i % 75) + (i < 75 ? QString() : QStringLiteral("x")));
    QList<ChatLine> log;
    for (int i = 0; i < 20000; ++i) {
        const QString &name = names[rng.bounded(rng.bounded(2) ? 3 : names.size())];
        const QString text = QString(rng.bounded(i % 1000 == 0 ? 70000 : 60), QChar(u'a' + i % 26));
        log.append(record(name, text, 38000.0 + i / 500.0 + (i % 86400) / 86400.0, rng.bounded(7) == 0));
    }
    for (int round = 0; round < 12; ++round) {
        QStringList selection;
        for (int k = rng.bounded(1, 5); k > 0; --k)
            selection.append(rng.bounded(10) ? names[rng.bounded(names.size())] : QStringLiteral("Nobody"));
        if (round % 3 == 0)
            selection.append(selection.first());
        const DisplayOptions o = options(round % 2, round % 4 < 2, true);
        QString expected;
        for (const ChatLine &r : log) {
            if (r.IsGameFeedback && !o.DisplayGameFeedback)
                continue;
            const QString stamp =
                o.ShowTimestamp ? u'[' + modMain::formatTimestamp(r.TimeStamp) + u']' : QString();
            for (const QString &entry : selection) {
                if (entry == r.ChatName)
                    expected += stamp + r.Text + QStringLiteral("\r\n");
            }
        }
        QCOMPARE(modMain::BuildChatText(log, selection, o), expected);
    }
}

void tst_ChatText::loadedLogAssemblesAsItsRecords()
{
    // Texts of every kind the columns keep: windows-1252 bytes, the five bytes the code page leaves
    // undefined, and characters it lacks (U+0080 is not the byte 0x80, which is the euro sign), kept wide.
    const QStringList texts = {
        QStringLiteral(" plain"),
        QStringLiteral(" caf\u00E9 \u201Cquoted\u201D 5\u20AC \u0081\u008D\u008F\u0090\u009D"),
        QStringLiteral(" \u4E2D\u6587 wide"),
        QStringLiteral(" \U0001F600 and a lone ") + QChar(0xD800),
        QChar(0xDC00) + QStringLiteral(" low first, then high before a letter ") + QChar(0xDBFF) + u'y',
        QStringLiteral(" \u0080 control"),
        QString(),
        QString(40, u'\u00FF') + QStringLiteral("\u0100")};
    const QStringList names = {QStringLiteral("Public/Global"), QStringLiteral("Trade"),
                               QStringLiteral("Orrik"), QString(), QStringLiteral("orrik")};
    QRandomGenerator rng(1252);
    QList<ChatLine> list;
    modMain::ChatLogRecords records;
    for (int i = 0; i < 3000; ++i) {
        ChatLine r = record(names[rng.bounded(names.size())], texts[rng.bounded(texts.size())],
                            38000.0 + i / 300.0, rng.bounded(5) == 0);
        r.IsChannel = rng.bounded(2);
        r.IsTell = !r.IsChannel && rng.bounded(2);
        r.IsSystem = rng.bounded(9) == 0;
        list.append(r);
        records.append(r);
    }
    QCOMPARE(records.size(), list.size());
    qsizetype i = 0;
    for (const ChatLine &got : records) {
        QVERIFY2(reference::sameRecord(got, list[i]), qPrintable(QString::number(i)));
        QVERIFY(reference::sameRecord(records[i], list[i]));
        ++i;
    }
    QCOMPARE(i, list.size());
    for (int round = 0; round < 16; ++round) {
        QStringList selection;
        // Some as many names as a merged chat of many chats holds.
        for (int k = rng.bounded(1, round % 4 == 1 ? 40 : 4); k > 0; --k)
            selection.append(rng.bounded(8) ? names[rng.bounded(names.size())] : QStringLiteral("Nobody"));
        if (round % 4 == 0)
            selection.append(selection.first());
        const DisplayOptions o = options(round % 2, round % 4 < 2, round % 8 < 4);
        const QString expected = reference::chatText(list, selection, o);
        QCOMPARE(modMain::BuildChatText(records, selection, o), expected);
        QCOMPARE(modMain::BuildChatText(list, selection, o), expected);
        // Where a line starts in that text: the length of the text of the lines before it.
        for (int k = 0; k < 4; ++k) {
            const qsizetype at = rng.bounded(int(list.size()));
            const bool shown = selection.contains(list[at].ChatName) &&
                               !reference::chatText(list.sliced(at, 1), selection, o).isEmpty();
            const qsizetype offset = reference::chatText(list.first(at), selection, o).size();
            QCOMPARE(modMain::lineOffsetInChatText(records, at, selection, o), shown ? offset : -1);
        }
    }
    QCOMPARE(modMain::BuildChatText(modMain::ChatLogRecords(), {names[0]}, {}), QString());

    // The search of every chat finds what matching each shown line finds, in steps of any size, whether
    // a text is kept narrow or wide (a fixed text with its case is looked for in the bytes first).
    for (const auto &[pattern, regex, ignoreCase] : {std::tuple{QStringLiteral("caf\u00E9"), false, false},
                                                     {QStringLiteral("\u20AC"), false, false},
                                                     {QStringLiteral("\u0090\u009D"), false, false},
                                                     {QStringLiteral("\u00FF\u00FF"), false, false},
                                                     {QStringLiteral("\u4E2D"), false, false},
                                                     {QStringLiteral("\u0080"), false, false},
                                                     {QStringLiteral("QUOTED"), false, true},
                                                     {QStringLiteral("^ \\w+$"), true, false},
                                                     {QString(), false, false}}) {
        for (const bool feedback : {true, false}) {
            const DisplayOptions o = options(false, feedback, !feedback);
            modMain::TextMatcher matcher(pattern, regex, ignoreCase);
            QList<qsizetype> expected;
            for (qsizetype k = 0; k < list.size(); ++k) {
                const ChatLine &r = list[k];
                if (!(r.IsGameFeedback && !feedback) && !(r.IsSystem && feedback) &&
                    matcher.match(r.Text) == modMain::TextMatcher::Result::Match)
                    expected.append(k);
            }
            modMain::RecordSearch search(records, matcher, o);
            QList<qsizetype> found;
            while (search.searchOn(rng.bounded(1, 700), &found)) {
            }
            QCOMPARE(found, expected);
            QCOMPARE(search.gaveUpAt(), -1);
            QCOMPARE(search.searched(), list.size());
        }
    }
}

void tst_ChatText::findNearest_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("find");
    QTest::addColumn<qsizetype>("position");
    QTest::addColumn<qsizetype>("range");
    QTest::addColumn<qsizetype>("expected");

    const QString t = QStringLiteral("ab\r\ncd\r\nef");
    const QString crlf = QStringLiteral("\r\n");
    QTest::newRow("empty text") << QString() << crlf << qsizetype(1) << qsizetype(-1) << qsizetype(-1);
    QTest::newRow("empty find") << t << QString() << qsizetype(1) << qsizetype(-1) << qsizetype(-1);
    QTest::newRow("absent find") << t << QStringLiteral("zz") << qsizetype(1) << qsizetype(-1)
                                 << qsizetype(-1);
    QTest::newRow("tie goes to the earlier") << t << crlf << qsizetype(5) << qsizetype(-1) << qsizetype(3);
    QTest::newRow("nearer after") << t << crlf << qsizetype(6) << qsizetype(-1) << qsizetype(7);
    QTest::newRow("from the start") << t << crlf << qsizetype(1) << qsizetype(-1) << qsizetype(3);
    QTest::newRow("zero is clamped to 1") << t << crlf << qsizetype(0) << qsizetype(-1) << qsizetype(3);
    QTest::newRow("negative is clamped to 1") << t << crlf << qsizetype(-4) << qsizetype(-1) << qsizetype(3);
    QTest::newRow("beyond the end is clamped")
        << t << crlf << qsizetype(100) << qsizetype(-1) << qsizetype(7);
    QTest::newRow("out of reach") << t << crlf << qsizetype(1) << qsizetype(1) << qsizetype(-1);
    QTest::newRow("just in reach") << t << crlf << qsizetype(1) << qsizetype(2) << qsizetype(3);
    QTest::newRow("range 0 compares the start only")
        << t << crlf << qsizetype(4) << qsizetype(0) << qsizetype(-1);
    QTest::newRow("range 0 at an occurrence") << t << crlf << qsizetype(3) << qsizetype(0) << qsizetype(3);
    QTest::newRow("negative range at an occurrence")
        << t << crlf << qsizetype(7) << qsizetype(-5) << qsizetype(7);
    QTest::newRow("negative range elsewhere") << t << crlf << qsizetype(6) << qsizetype(-5) << qsizetype(-1);
    QTest::newRow("positions compare without case")
        << QStringLiteral("xBxb") << QStringLiteral("b") << qsizetype(1) << qsizetype(-1) << qsizetype(2);
    QTest::newRow("presence is exact")
        << QStringLiteral("xBx") << QStringLiteral("b") << qsizetype(1) << qsizetype(-1) << qsizetype(-1);
    QTest::newRow("sharp s has a capital") << QStringLiteral("\u1E9Exx\u00DF") << QStringLiteral("\u00DF")
                                           << qsizetype(1) << qsizetype(-1) << qsizetype(1);
    QTest::newRow("Kelvin sign is a k") << QStringLiteral("\u212Axxk") << QStringLiteral("k") << qsizetype(1)
                                        << qsizetype(-1) << qsizetype(1);
    QTest::newRow("letters beyond the BMP fold")
        << QStringLiteral("\U00010400xx\U00010428") << QStringLiteral("\U00010428") << qsizetype(1)
        << qsizetype(-1) << qsizetype(1);
    QTest::newRow("no fold that changes the length")
        << QStringLiteral("ssx\u00DF") << QStringLiteral("\u00DF") << qsizetype(1) << qsizetype(-1)
        << qsizetype(4);
    QTest::newRow("find longer than the rest")
        << QStringLiteral("abc\r") << crlf << qsizetype(4) << qsizetype(-1) << qsizetype(-1);
}

void tst_ChatText::findNearest()
{
    QFETCH(QString, text);
    QFETCH(QString, find);
    QFETCH(qsizetype, position);
    QFETCH(qsizetype, range);
    QFETCH(qsizetype, expected);
    QCOMPARE(modMain::FindNearest(text, find, position, range), expected);
}

void tst_ChatText::findNearestMatchesStepwiseSearch()
{
    QRandomGenerator rng(65000);
    const QStringList finds = {QStringLiteral("\r\n"), QStringLiteral("a"),         QStringLiteral("Ab"),
                               QStringLiteral("\r"),   QStringLiteral("bA\r"),      QStringLiteral("\u00DF"),
                               QStringLiteral("k"),    QStringLiteral("\U00010428")};
    // Letters with a case partner beyond ASCII or beyond the Basic Multilingual Plane, and their halves.
    const QString alphabet =
        QStringLiteral("aAbB\r\n x\u00DF\u1E9Ek\u212A\U00010400\U00010428") + QChar(0xD801);
    for (int i = 0; i < 30000; ++i) {
        QString text;
        const int length = rng.bounded(30);
        for (int k = 0; k < length; ++k)
            text += alphabet[rng.bounded(alphabet.size())];
        const QString &find = finds[rng.bounded(finds.size())];
        const qsizetype position = rng.bounded(-3, 35);
        const qsizetype range = rng.bounded(-3, 12);
        QCOMPARE(modMain::FindNearest(text, find, position, range),
                 reference::findNearest(text, find, position, range));
    }
}

namespace {

// Lines of the given lengths, each counted with its CR LF.
QString linesOfLengths(const QList<qsizetype> &lengths)
{
    QString text;
    for (qsizetype length : lengths)
        text += QString(length - 2, u'x') + QStringLiteral("\r\n");
    return text;
}

} // namespace

void tst_ChatText::pageCount_data()
{
    QTest::addColumn<qsizetype>("length");
    QTest::addColumn<qsizetype>("pages");
    QTest::newRow("empty") << qsizetype(0) << qsizetype(0);
    QTest::newRow("one character") << qsizetype(1) << qsizetype(1);
    QTest::newRow("exactly a page") << modMain::kPageSize << qsizetype(1);
    QTest::newRow("one over a page") << modMain::kPageSize + 1 << qsizetype(2);
    QTest::newRow("exactly three pages") << 3 * modMain::kPageSize << qsizetype(3);
}

void tst_ChatText::pageCount()
{
    QFETCH(qsizetype, length);
    QFETCH(qsizetype, pages);
    QCOMPARE(modMain::PageCount(QString(length, u'x')), pages);
}

void tst_ChatText::pagesJoinBackIntoTheText_data()
{
    QTest::addColumn<QString>("text");
    const qsizetype page = modMain::kPageSize;
    QTest::newRow("short lines") << linesOfLengths(QList<qsizetype>(2000, 100));
    // Line ends just before, at and just after the page boundary, and at equal distance on both sides.
    QTest::newRow("cut one before the boundary") << linesOfLengths({page - 1, 100, page, 50});
    QTest::newRow("cut at the boundary") << linesOfLengths({page, page, 10});
    QTest::newRow("cut one after the boundary") << linesOfLengths({page + 1, page - 1, 7});
    QTest::newRow("equal distance takes the earlier") << linesOfLengths({page - 10, 20, page, 3});
    QTest::newRow("uneven lines") << linesOfLengths({3, 70000, 12, 64990, 5, 130000, 2, 2, 40000});
}

void tst_ChatText::pagesJoinBackIntoTheText()
{
    QFETCH(QString, text);
    const qsizetype count = modMain::PageCount(text);
    QString joined;
    qsizetype expectedStart = 0;
    for (qsizetype page = 1; page <= count; ++page) {
        const modMain::PageSpan span = modMain::PageRange(text, page);
        // Each page starts right after the CR LF that ended the one before and stops before its own.
        QCOMPARE(span.start, expectedStart);
        if (page < count) {
            QCOMPARE(text.mid(span.start + span.length, 2), QStringLiteral("\r\n"));
            expectedStart = span.start + span.length + 2;
        }
        joined += text.mid(span.start, span.length);
        if (page < count)
            joined += QStringLiteral("\r\n");
    }
    // The last page ends at the text's final CR LF.
    QCOMPARE(joined + QStringLiteral("\r\n"), text);
}

void tst_ChatText::lineLongerThanAPageShowsTheRest()
{
    // Line ends at 30000, 97500 and 297500: the one at 97500 is nearest to both cuts of page 2 (65000
    // and 130000), so page 2 runs from after it to the end of the text.
    const QString text = linesOfLengths({30000, 67500, 200000});
    const modMain::PageSpan first = modMain::PageRange(text, 1);
    QCOMPARE(first.start, 0);
    QCOMPARE(first.length, 97498);
    const modMain::PageSpan second = modMain::PageRange(text, 2);
    QCOMPARE(second.start, 97500);
    QCOMPARE(second.length, 200000);
    QCOMPARE(modMain::PageRange(QString(), 1).length, 0);
}

void tst_ChatText::chatSummariesAndOrders_data()
{
    QTest::addColumn<int>("order");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("in order of appearance")
        << int(modMain::ChatOrder::Appearance) << QStringList{"b", "A", "Trade", "a", "C"};
    QTest::newRow("by name, case aside, then exactly")
        << int(modMain::ChatOrder::Name) << QStringList{"A", "a", "b", "C", "Trade"};
    QTest::newRow("latest last line first")
        << int(modMain::ChatOrder::LastLine) << QStringList{"b", "C", "A", "a", "Trade"};
}

void tst_ChatText::chatSummariesAndOrders()
{
    QFETCH(int, order);
    QFETCH(QStringList, expected);
    const double t = modMain::makeDateTime(modMain::daySerial(2005, 6, 14), 21 * 3600 + 3 * 60 + 17);
    const double second = 1.0 / 86400;
    modMain::LoadedChatLog log;
    const QList<ChatLine> records = {record("b", " 1", t),
                                     record("A", " 2", 0.0),
                                     record("Trade", " 3", t + second),
                                     record("b", " 4", 0.0),
                                     record("a", " 5", t + 2 * second),
                                     record("A", " 6", t + 3 * second),
                                     record("C", " 7", 0.0),
                                     record("b", " 8", t + 4 * second)};
    // Counted as an import would, then as a follower would after the first five.
    QList<modMain::ChatSummary> whole, grown;
    for (qsizetype i = 0; i < records.size(); ++i) {
        log.ChatLog.append(records[i]);
        if (!log.ChatNames.contains(records[i].ChatName))
            log.ChatNames.append(records[i].ChatName);
        if (i == 4)
            modMain::summarizeChats(grown, log.ChatLog);
    }
    QList<qsizetype> touched;
    modMain::summarizeChats(grown, log.ChatLog, 5, &touched);
    modMain::summarizeChats(whole, log.ChatLog);
    QCOMPARE(touched, (QList<qsizetype>{1, 4, 0})); // A, C, b: each once
    QCOMPARE(grown.size(), whole.size());
    for (qsizetype i = 0; i < whole.size(); ++i)
        QCOMPARE(modMain::describeChat(grown[i]), modMain::describeChat(whole[i]));
    QCOMPARE(modMain::describeChat(whole[0]),
             QStringLiteral("3 lines, 06/14/2005 21:03:17 to 06/14/2005 21:03:21"));
    QCOMPARE(modMain::describeChat(whole[1]), QStringLiteral("2 lines, 06/14/2005 21:03:20"));
    QCOMPARE(modMain::describeChat(whole[4]), QStringLiteral("1 line"));
    QCOMPARE(whole[0].lastRecord, 7);
    QCOMPARE(modMain::orderedChatNames(log, whole, modMain::ChatOrder(order)), expected);
}

void tst_ChatText::exportedPage_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("timestamps");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("markup escaped") << QStringLiteral(" a <b> & \"c\"\r\n") << false
                                    << QByteArray("<p> a &lt;b&gt; &amp; \"c\"</p>\n");
    QTest::newRow("timestamp in a span of its own")
        << QStringLiteral("[06/14/2005 21:03:17] Orrik tells you: hi\r\n") << true
        << QByteArray("<p><span class=\"time\">[06/14/2005 21:03:17]</span> Orrik tells you: hi</p>\n");
    QTest::newRow("bracketed text without timestamps is text")
        << QStringLiteral("[06/14/2005 21:03:17] hi\r\n") << false
        << QByteArray("<p>[06/14/2005 21:03:17] hi</p>\n");
    QTest::newRow("empty line keeps its room, last line without its end")
        << QStringLiteral("a\r\n\r\nb") << false << QByteArray("<p>a</p>\n<p><br></p>\n<p>b</p>\n");
    QTest::newRow("UTF-8 beyond the code page and the plane")
        << QStringLiteral("caf\u00E9 \u20AC \U0001F600\r\n") << false
        << QByteArray("<p>caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80</p>\n");
    QTest::newRow("controls and lone surrogates unfit for a page")
        << (QStringLiteral("\t\u0001\u007F\u0081") + QChar(0xD800) + QStringLiteral("x") + QChar(0xDC00) +
            QStringLiteral("\r\n"))
        << false << QByteArray("<p>\t\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDx\xEF\xBF\xBD</p>\n");
    QTest::newRow("nothing on view") << QString() << true << QByteArray();
}

void tst_ChatText::exportedPage()
{
    QFETCH(QString, text);
    QFETCH(bool, timestamps);
    QFETCH(QByteArray, body);
    const QByteArray page = modMain::chatPage(text, QStringLiteral("Orrik/<Trade> & co"), timestamps);
    QVERIFY(page.startsWith("<!DOCTYPE html>"));
    QVERIFY(page.contains("<meta charset=\"utf-8\">"));
    QVERIFY(page.contains("<title>Orrik/&lt;Trade&gt; &amp; co</title>"));
    QVERIFY(page.contains("@media (prefers-color-scheme: dark)"));
    const qsizetype start = page.indexOf("</h1>\n") + 6;
    QCOMPARE(page.mid(start, page.indexOf("</body>") - start), body);
}

void tst_ChatText::exportInPiecesWritesTheWholeText()
{
    // Lines of every length around the pieces' size, a surrogate pair and a line end across a boundary.
    QString text;
    QRandomGenerator rng(35);
    while (text.size() < (qsizetype(5) << 19))
        text += QStringLiteral("[06/14/2005 21:03:17] <") + QString(rng.bounded(1, 300000), u'x') +
                QStringLiteral("> caf\u00E9 \U0001F600\r\n");
    text.insert((qsizetype(1) << 20) - 1, QStringLiteral("\U0001F600"));
    text.insert((qsizetype(2) << 20) - 1, QStringLiteral("\r\n"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out"));
    auto contents = [&] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("unreadable");
    };
    modMain::ExportOptions options;
    options.title = QStringLiteral("Orrik");
    options.timestamps = true;
    qint64 done = 0, total = 0;
    options.progress = [&](qint64 d, qint64 t) {
        QVERIFY(d > done);
        done = d;
        total = t;
    };
    QString error;
    QCOMPARE(modMain::exportChat(path, text, options, &error), modMain::ExportStatus::Written);
    QCOMPARE(contents(), modMain::encodeAnsi(text));
    QCOMPARE(done, text.size());
    QCOMPARE(total, text.size());
    options.format = modMain::ExportFormat::Html;
    done = 0;
    QCOMPARE(modMain::exportChat(path, text, options, &error), modMain::ExportStatus::Written);
    QCOMPARE(contents(), modMain::chatPage(text, options.title, true));

    // Cancelled, the file keeps what it had; a folder in the way is a failure that says why.
    const std::atomic<bool> cancel{true};
    options.cancel = &cancel;
    done = 0;
    const QByteArray before = contents();
    QCOMPARE(modMain::exportChat(path, text, options, &error), modMain::ExportStatus::Cancelled);
    QCOMPARE(contents(), before);
    options.cancel = nullptr;
    error.clear();
    QCOMPARE(modMain::exportChat(dir.path(), text, options, &error), modMain::ExportStatus::Failed);
    QVERIFY(!error.isEmpty());
}

QTEST_GUILESS_MAIN(tst_ChatText)
#include "tst_chattext.moc"

#include <QRandomGenerator>
#include <QTest>

#include "ChatSearch.h"
#include "modMain.h"

using modMain::SearchDirection;

namespace {

// A chat text of lines of the given lengths (CR LF included), each line made of its number and filler.
QString chatText(const QList<int> &lengths)
{
    QString text;
    for (qsizetype i = 0; i < lengths.size(); ++i) {
        QString line = QStringLiteral("L%1 ").arg(i);
        line += QString(lengths[i] - 2 - line.size(), u'x');
        text += line + QStringLiteral("\r\n");
    }
    return text;
}

QList<int> variedLengths(int count)
{
    QList<int> lengths;
    for (int i = 0; i < count; ++i)
        lengths.append(30 + (i * 7919) % 170);
    return lengths;
}

} // namespace

class tst_ChatSearch : public QObject {
    Q_OBJECT
private slots:
    void findAgreesWithLibrarySearch_data();
    void findAgreesWithLibrarySearch();
    void findEdges();
    void pageOfRangeFollowsPageCuts();
    void pageOfRangeAroundALineLongerThanAPage();
    void findInChatWrapsAround();
    void findInChatPassesOverMatchesAcrossACut();
    void viewPositionsRoundTrip();
};

void tst_ChatSearch::findAgreesWithLibrarySearch_data()
{
    QTest::addColumn<QStringList>("alphabet");
    QTest::addColumn<int>("caseSensitivity");
    // Few letters make many near-misses; the accented and Polish letters share low bytes with ASCII ones
    // (U+0141 with 'A'). The Kelvin sign and the long s fold to 'k' and 's', and final sigma with sigma:
    // three units can stand for one letter. Deseret letters are pairs of units that fold as one.
    const QStringList ascii = {u"a"_qs, u"b"_qs, u"A"_qs, u"B"_qs};
    const QStringList latin = {u"a"_qs,      u"A"_qs,      u"b"_qs,      u"B"_qs, u"\u00e9"_qs,
                               u"\u00c9"_qs, u"\u0141"_qs, u"\u0142"_qs, u" "_qs};
    const QStringList threeWays = {u"k"_qs,      u"K"_qs,      u"s"_qs,      u"S"_qs,      u"\u212a"_qs,
                                   u"\u017f"_qs, u"\u03c3"_qs, u"\u03a3"_qs, u"\u03c2"_qs, u"a"_qs};
    const QStringList deseret = {u"\U00010400"_qs, u"\U00010428"_qs, u"a"_qs, u"A"_qs};
    for (int cs : {int(Qt::CaseSensitive), int(Qt::CaseInsensitive)}) {
        const char *which = cs == Qt::CaseSensitive ? "match case" : "any case";
        QTest::addRow("ascii, %s", which) << ascii << cs;
        QTest::addRow("latin, %s", which) << latin << cs;
        QTest::addRow("three ways, %s", which) << threeWays << cs;
        QTest::addRow("beyond the BMP, %s", which) << deseret << cs;
    }
}

void tst_ChatSearch::findAgreesWithLibrarySearch()
{
    QFETCH(QStringList, alphabet);
    QFETCH(int, caseSensitivity);
    const auto cs = Qt::CaseSensitivity(caseSensitivity);
    QRandomGenerator random(7);
    auto randomText = [&](int letters) {
        QString s;
        for (int i = 0; i < letters; ++i)
            s += alphabet[random.bounded(int(alphabet.size()))];
        return s;
    };
    for (int round = 0; round < 2000; ++round) {
        const QString text = randomText(random.bounded(0, 100));
        const QString needle = randomText(random.bounded(1, 5));
        const qsizetype from = random.bounded(-2, int(text.size()) + 3);
        const qsizetype expectedForward =
            from > text.size() ? -1 : text.indexOf(needle, std::max<qsizetype>(from, 0), cs);
        QCOMPARE(modMain::findForward(text, needle, from, cs), expectedForward);
        // Ending at or before from is starting at or before from - length.
        const qsizetype lastStart = std::min(from, text.size()) - needle.size();
        const qsizetype expectedBackward = lastStart < 0 ? -1 : text.lastIndexOf(needle, lastStart, cs);
        QCOMPARE(modMain::findBackward(text, needle, from, cs), expectedBackward);
    }
}

void tst_ChatSearch::findEdges()
{
    const QString text = QStringLiteral("Orrik tells you: ORRIK?");
    QCOMPARE(modMain::findForward(text, QString(), 0, Qt::CaseSensitive), -1);
    QCOMPARE(modMain::findBackward(text, QString(), text.size(), Qt::CaseInsensitive), -1);
    QCOMPARE(modMain::findForward(text, text + u'!', 0, Qt::CaseInsensitive), -1); // longer than the text
    QCOMPARE(modMain::findForward(text, QStringLiteral("orrik"), 1, Qt::CaseInsensitive), 17);
    QCOMPARE(modMain::findForward(text, QStringLiteral("orrik"), 0, Qt::CaseSensitive), -1);
    QCOMPARE(modMain::findBackward(text, QStringLiteral("orrik"), 22, Qt::CaseInsensitive), 17);
    QCOMPARE(modMain::findBackward(text, QStringLiteral("orrik"), 21, Qt::CaseInsensitive), 0);
    QCOMPARE(modMain::findForward(text, QStringLiteral("?"), 0, Qt::CaseSensitive), 22);
    QCOMPARE(modMain::findBackward(text, QStringLiteral("O"), 17, Qt::CaseSensitive), 0);
}

void tst_ChatSearch::pageOfRangeFollowsPageCuts()
{
    const QString text = chatText(variedLengths(3000));
    const qsizetype pages = modMain::PageCount(text);
    QVERIFY(pages > 4);
    for (qsizetype page = 1; page <= pages; ++page) {
        const modMain::PageSpan span = modMain::PageRange(text, page);
        // The first and last characters of the page, and the whole page, are on it.
        QCOMPARE(modMain::pageOfRange(text, span.start, 1), page);
        QCOMPARE(modMain::pageOfRange(text, span.start + span.length - 1, 1), page);
        QCOMPARE(modMain::pageOfRange(text, span.start, span.length), page);
        if (page < pages) {
            // The CR LF at the cut shows on neither page, nor does a range that reaches over it.
            QCOMPARE(text.mid(span.start + span.length, 2), QStringLiteral("\r\n"));
            QCOMPARE(modMain::pageOfRange(text, span.start + span.length, 1), 0);
            QCOMPARE(modMain::pageOfRange(text, span.start + span.length - 1, 4), 0);
        }
    }
    QCOMPARE(modMain::pageOfRange(text, text.size() - 1, 2), 0);
    QCOMPARE(modMain::pageOfRange(QString(), 0, 0), 0);
}

void tst_ChatSearch::pageOfRangeAroundALineLongerThanAPage()
{
    // Page 3's cuts are the same line end, so it shows everything from there; page 4 repeats the tail.
    const QString text = chatText({100, 200000, 100, 100});
    QCOMPARE(modMain::PageCount(text), 4);
    QCOMPARE(modMain::pageOfRange(text, 150000, 5), 2);
    QCOMPARE(modMain::pageOfRange(text, 200150, 5), 4);
    // The text's final line end lies past page 4's end but is part of page 3.
    QCOMPARE(modMain::pageOfRange(text, text.size() - 3, 3), 3);
}

void tst_ChatSearch::findInChatWrapsAround()
{
    // "needle" at the start of lines 10 and 2500, on different pages.
    QString text = chatText(variedLengths(3000));
    const qsizetype first = text.indexOf(QStringLiteral("L10 "));
    const qsizetype second = text.indexOf(QStringLiteral("L2500 "));
    text.replace(first, 6, QStringLiteral("needle"));
    text.replace(second, 6, QStringLiteral("needle"));
    const qsizetype firstPage = modMain::pageOfRange(text, first, 6);
    const qsizetype secondPage = modMain::pageOfRange(text, second, 6);
    QVERIFY(firstPage == 1 && secondPage > 2);

    auto find = [&](qsizetype from, SearchDirection direction,
                    const QString &needle = QStringLiteral("NEEDLE")) {
        return modMain::findInChat(text, needle, from, direction, Qt::CaseInsensitive);
    };
    QCOMPARE(find(first, SearchDirection::Down).page, firstPage);
    QCOMPARE(find(first + 6, SearchDirection::Down).page, secondPage);
    // Without wrapping, a search that would go on from the other end finds nothing.
    const struct {
        qsizetype from;
        SearchDirection direction;
        qsizetype position;
        bool wrapped;
    } cases[] = {
        {0, SearchDirection::Down, first, false},          {first + 6, SearchDirection::Down, second, false},
        {second + 1, SearchDirection::Down, first, true},  {second + 6, SearchDirection::Up, second, false},
        {second + 5, SearchDirection::Up, first, false},   {first + 5, SearchDirection::Up, second, true},
        {text.size(), SearchDirection::Up, second, false}, {-5, SearchDirection::Down, first, false}};
    for (const auto &c : cases) {
        const modMain::ChatMatch around = find(c.from, c.direction);
        QCOMPARE(around.position, c.position);
        QCOMPARE(around.wrapped, c.wrapped);
        const modMain::ChatMatch stopping = modMain::findInChat(text, QStringLiteral("NEEDLE"), c.from,
                                                                c.direction, Qt::CaseInsensitive, false);
        QCOMPARE(stopping.position, c.wrapped ? -1 : c.position);
        QVERIFY(!stopping.wrapped);
    }

    // A needle found only where the search started is found again; one that is nowhere, is not.
    text.replace(second, 6, QStringLiteral("xxxxxx"));
    QCOMPARE(find(first + 6, SearchDirection::Down).position, first);
    QCOMPARE(find(first, SearchDirection::Up).position, first);
    QCOMPARE(find(first, SearchDirection::Down, QStringLiteral("absent")).position, -1);
    QCOMPARE(find(first, SearchDirection::Up, QStringLiteral("absent")).page, 0);
    QCOMPARE(find(first, SearchDirection::Down, QStringLiteral("needle")).position, first);
    QCOMPARE(modMain::findInChat(text, QStringLiteral("NEEDLE"), 0, SearchDirection::Down, Qt::CaseSensitive)
                 .position,
             -1);
    QCOMPARE(find(0, SearchDirection::Down, QString()).position, -1);
}

void tst_ChatSearch::findInChatPassesOverMatchesAcrossACut()
{
    // Every line is "Lnn xx..x"; "x\r\nL" is found at every line end, including the cut after page 1,
    // which no page shows whole.
    const QString text = chatText(variedLengths(1000));
    const modMain::PageSpan page1 = modMain::PageRange(text, 1);
    const qsizetype cut = page1.start + page1.length;
    const QString needle = QStringLiteral("x\r\nL");
    const modMain::ChatMatch match =
        modMain::findInChat(text, needle, cut - 10, SearchDirection::Down, Qt::CaseSensitive);
    QVERIFY(match.position > cut);
    QCOMPARE(match.page, 2);
    QCOMPARE(match.position, text.indexOf(needle, cut));
    const modMain::ChatMatch back =
        modMain::findInChat(text, needle, cut + 10, SearchDirection::Up, Qt::CaseSensitive);
    QCOMPARE(back.position, text.lastIndexOf(needle, cut - 2));
    QCOMPARE(back.page, 1);
}

void tst_ChatSearch::viewPositionsRoundTrip()
{
    const QString page = QStringLiteral("ab\r\n\r\ncd\r\ne");
    // The box holds "ab\n\ncd\ne": each CR LF is one break.
    const QList<qsizetype> view = {0, 1, 2, 2, 3, 3, 4, 5, 6, 6, 7, 8};
    for (qsizetype offset = 0; offset <= page.size(); ++offset)
        QCOMPARE(modMain::viewPosition(page, offset), view[offset]);
    for (qsizetype shown = 0; shown <= 8; ++shown) {
        const qsizetype offset = modMain::pageOffset(page, shown);
        QCOMPARE(modMain::viewPosition(page, offset), shown);
        QVERIFY(offset == 0 || page[offset - 1] != u'\r'); // never inside a CR LF
    }
    QCOMPARE(modMain::pageOffset(page, 99), page.size());
    QCOMPARE(modMain::viewPosition(page, 99), 8);
}

QTEST_MAIN(tst_ChatSearch)
#include "tst_chatsearch.moc"

#include <QRandomGenerator>
#include <QTest>

#include "modMain.h"

using modMain::ChatLine;

namespace {

double at(int y, int mo, int d, int h, int mi, int s)
{
    return modMain::makeDateTime(modMain::daySerial(y, mo, d), h * 3600 + mi * 60 + s);
}

// The line classification written out step by step with ExtractDelimited and a full split, the way the
// rules read. The fast parser must agree with it on every line both handle.
ChatLine referenceParse(const QString &line)
{
    ChatLine r;
    QString work = line;
    const QString stamp = modMain::ExtractDelimited(work, QStringLiteral("["), QStringLiteral("]"), true);
    if (!stamp.isEmpty() && !modMain::parseTimestamp(stamp, &r.TimeStamp)) {
        r.TimeStamp = 0;
        work = line;
    }
    r.Text = work;
    QString trimmed = work;
    while (trimmed.startsWith(u' '))
        trimmed.remove(0, 1);
    while (trimmed.endsWith(u' '))
        trimmed.chop(1);
    const QStringList tokens = trimmed.split(u' ');
    if (trimmed.isEmpty()) {
        r.ChatName = QStringLiteral("Public/Global");
    } else if (tokens[0].startsWith(u'[')) {
        r.IsChannel = true;
        QString channel = modMain::ExtractDelimited(work, QStringLiteral("["), QStringLiteral("]"), false);
        r.ChatName = modMain::ExtractDelimited(channel, QString(), QStringLiteral(":"), false);
    } else if (tokens.size() > 2 && tokens[1] == u"tell" && !tokens[2].isEmpty()) {
        r.IsTell = true;
        r.ChatName = tokens[2].left(tokens[2].size() - 1);
    } else if (tokens.size() > 2 && tokens[1] == u"tells") {
        r.IsTell = true;
        r.ChatName = tokens[0];
    } else {
        r.ChatName = QStringLiteral("Public/Global");
        for (const char *feedback :
             {"You have gathered", "You are too far away from the resource node to gather resources from it.",
              "You have received"})
            r.IsGameFeedback = r.IsGameFeedback || trimmed.startsWith(QLatin1String(feedback));
    }
    return r;
}

} // namespace

class tst_Parser : public QObject {
    Q_OBJECT
private slots:
    void extractDelimited_data();
    void extractDelimited();
    void parseLine_data();
    void parseLine();
    void parseLineLeavesArgumentAndFieldsDefaults();
    void timestampForms_data();
    void timestampForms();
    void timestampFormatRoundTripsEverySecond();
    void fastParserAgreesWithStepByStepRules();
    void addTrailingBackslash();
};

void tst_Parser::extractDelimited_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("open");
    QTest::addColumn<QString>("close");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("consumed"); // text after a consuming call

    QTest::newRow("between brackets") << "x[y]z"
                                      << "["
                                      << "]"
                                      << "y"
                                      << "z";
    QTest::newRow("no closing bracket keeps text") << "x[y"
                                                   << "["
                                                   << "]"
                                                   << ""
                                                   << "x[y";
    QTest::newRow("adjacent delimiters") << "[]rest"
                                         << "["
                                         << "]"
                                         << ""
                                         << "rest";
    QTest::newRow("closing without opening still cuts") << "Veyla] hello"
                                                        << "["
                                                        << "]"
                                                        << ""
                                                        << " hello";
    QTest::newRow("empty close reuses open, ignoring case") << "fooXbarxbaz"
                                                            << "x"
                                                            << ""
                                                            << "bar"
                                                            << "baz";
    QTest::newRow("empty open takes text before first colon") << "a:b:c"
                                                              << ""
                                                              << ":"
                                                              << "a"
                                                              << "b:c";
    QTest::newRow("empty open search starts at second char") << ":a:b"
                                                             << ""
                                                             << ":"
                                                             << ":a"
                                                             << "b";
    QTest::newRow("empty open, only a leading colon") << ":ab"
                                                      << ""
                                                      << ":"
                                                      << ""
                                                      << ":ab";
    QTest::newRow("letters match regardless of case") << "aXbYc"
                                                      << "x"
                                                      << "y"
                                                      << "b"
                                                      << "c";
    QTest::newRow("multi-char close keeps its tail") << "a<<b>>c"
                                                     << "<<"
                                                     << ">>"
                                                     << "<b"
                                                     << ">c";
    QTest::newRow("empty text") << ""
                                << "["
                                << "]"
                                << ""
                                << "";
}

void tst_Parser::extractDelimited()
{
    QFETCH(QString, text);
    QFETCH(QString, open);
    QFETCH(QString, close);
    QFETCH(QString, result);
    QFETCH(QString, consumed);

    QString kept = text;
    QCOMPARE(modMain::ExtractDelimited(kept, open, close, false), result);
    QCOMPARE(kept, text);
    QString cut = text;
    QCOMPARE(modMain::ExtractDelimited(cut, open, close, true), result);
    QCOMPARE(cut, consumed);
}

void tst_Parser::parseLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<double>("timeStamp");
    QTest::addColumn<QString>("chatName");
    QTest::addColumn<bool>("isChannel");
    QTest::addColumn<bool>("isTell");
    QTest::addColumn<bool>("isGameFeedback");
    QTest::addColumn<QString>("text");

    const double t = at(2005, 6, 14, 21, 3, 17);
    const QString pub = QStringLiteral("Public/Global");
    QTest::newRow("public line") << "[06/14/2005 21:03:17] Veyla: anyone selling ore?" << t << pub << false
                                 << false << false << " Veyla: anyone selling ore?";
    QTest::newRow("channel with colon")
        << "[06/14/2005 21:03:17] [Trade: Orrik] selling iron ore" << t << "Trade" << true << false << false
        << " [Trade: Orrik] selling iron ore";
    QTest::newRow("channel without colon has no name")
        << "[06/14/2005 21:03:17] [Guild] Orrik: hello" << t << "" << true << false << false
        << " [Guild] Orrik: hello";
    QTest::newRow("channel without closing bracket")
        << "[06/14/2005 21:03:17] [Trade: Orrik selling ore" << t << "" << true << false << false
        << " [Trade: Orrik selling ore";
    QTest::newRow("channel colon at first char is skipped")
        << "[06/14/2005 21:03:17] [:a:b] x" << t << ":a" << true << false << false << " [:a:b] x";
    QTest::newRow("incoming tell") << "[06/14/2005 21:03:17] Orrik tells you: meet me at the gate" << t
                                   << "Orrik" << false << true << false
                                   << " Orrik tells you: meet me at the gate";
    QTest::newRow("outgoing tell drops colon")
        << "[06/14/2005 21:03:17] You tell Orrik: on my way" << t << "Orrik" << false << true << false
        << " You tell Orrik: on my way";
    QTest::newRow("outgoing tell drops any last char")
        << "[06/14/2005 21:03:17] You tell Orrik" << t << "Orri" << false << true << false
        << " You tell Orrik";
    QTest::newRow("two tokens is public")
        << "[06/14/2005 21:03:17] Orrik tells" << t << pub << false << false << false << " Orrik tells";
    QTest::newRow("tell word is case-sensitive") << "[06/14/2005 21:03:17] Orrik Tells you: hi" << t << pub
                                                 << false << false << false << " Orrik Tells you: hi";
    QTest::newRow("double space moves tells") << "[06/14/2005 21:03:17] Orrik  tells you: hi" << t << pub
                                              << false << false << false << " Orrik  tells you: hi";
    QTest::newRow("only the word's place counts")
        << "[06/14/2005 21:03:17] Veyla tells a story" << t << "Veyla" << false << true << false
        << " Veyla tells a story";
    QTest::newRow("gathered feedback") << "[06/14/2005 21:03:17] You have gathered 3 iron ore." << t << pub
                                       << false << false << true << " You have gathered 3 iron ore.";
    QTest::newRow("too far feedback, whole line")
        << "[06/14/2005 21:03:17] You are too far away from the resource node to gather resources from it."
        << t << pub << false << false << true
        << " You are too far away from the resource node to gather resources from it.";
    QTest::newRow("too far without full stop is no feedback")
        << "[06/14/2005 21:03:17] You are too far away from the resource node to gather resources from it"
        << t << pub << false << false << false
        << " You are too far away from the resource node to gather resources from it";
    QTest::newRow("received feedback") << "[06/14/2005 21:03:17] You have received 20 coins." << t << pub
                                       << false << false << true << " You have received 20 coins.";
    QTest::newRow("feedback is case-sensitive")
        << "[06/14/2005 21:03:17] you have gathered 3 iron ore." << t << pub << false << false << false
        << " you have gathered 3 iron ore.";
    QTest::newRow("no timestamp tell") << "Orrik tells you: are you there?" << 0.0 << "Orrik" << false << true
                                       << false << "Orrik tells you: are you there?";
    QTest::newRow("closing bracket without opening")
        << "Veyla] hello" << 0.0 << pub << false << false << false << " hello";
    QTest::newRow("empty brackets") << "[] Orrik tells you: hi" << 0.0 << "Orrik" << false << true << false
                                    << " Orrik tells you: hi";
    // Lines the original stops on: here none is lost.
    QTest::newRow("channel without timestamp stays a channel")
        << "[Guild: Orrik] hi all" << 0.0 << "Guild" << true << false << false << "[Guild: Orrik] hi all";
    QTest::newRow("bracketed non-date is no timestamp")
        << "Orrik: look [here] now" << 0.0 << pub << false << false << false << "Orrik: look [here] now";
    QTest::newRow("stamp-shaped non-date is no timestamp")
        << "[13/01/2005 10:00:00] Orrik tells you: hi" << 0.0 << "13/01/2005 10" << true << false << false
        << "[13/01/2005 10:00:00] Orrik tells you: hi";
    QTest::newRow("another stamp of the usual length")
        << "[06/14/05 9:03:17 PM] Orrik tells you: hi" << t << "Orrik" << false << true << false
        << " Orrik tells you: hi";
    QTest::newRow("nothing after the timestamp")
        << "[06/14/2005 21:03:17]   " << t << pub << false << false << false << "   ";
    QTest::newRow("nothing at all after the timestamp")
        << "[06/14/2005 21:03:17]" << t << pub << false << false << false << "";
    QTest::newRow("tell to nobody is public") << "[06/14/2005 21:03:17] You tell  Orrik: hi" << t << pub
                                              << false << false << false << " You tell  Orrik: hi";
    QTest::newRow("tell to a one-char name")
        << "[06/14/2005 21:03:17] You tell X hi" << t << "" << false << true << false << " You tell X hi";
    QTest::newRow("trailing spaces do not make tokens")
        << "[06/14/2005 21:03:17] Orrik tells  " << t << pub << false << false << false << " Orrik tells  ";
}

void tst_Parser::parseLine()
{
    QFETCH(QString, line);
    QFETCH(double, timeStamp);
    QFETCH(QString, chatName);
    QFETCH(bool, isChannel);
    QFETCH(bool, isTell);
    QFETCH(bool, isGameFeedback);
    QFETCH(QString, text);

    const ChatLine r = modMain::ParseChatLine(line);
    QCOMPARE(r.TimeStamp, timeStamp);
    QCOMPARE(r.ChatName, chatName);
    QCOMPARE(r.IsChannel, isChannel);
    QCOMPARE(r.IsTell, isTell);
    QCOMPARE(r.IsGameFeedback, isGameFeedback);
    QCOMPARE(r.IsSystem, false);
    QCOMPARE(r.Text, text);
}

void tst_Parser::parseLineLeavesArgumentAndFieldsDefaults()
{
    const QString line = QStringLiteral("[06/14/2005 21:03:17] [Trade: Orrik] x");
    const QString copy = line;
    const ChatLine r = modMain::ParseChatLine(line);
    QCOMPARE(line, copy);
    // A line of any length parses by the same rules.
    const QString longName = QString(40000, u'a');
    const ChatLine big = modMain::ParseChatLine(QStringLiteral("[06/14/2005 21:03:17] [") + longName +
                                                QStringLiteral(":x] hi"));
    QCOMPARE(big.ChatName, longName);
    QVERIFY(big.IsChannel);
    QVERIFY(!r.IsSystem);
}

void tst_Parser::timestampForms_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<double>("days");

    QTest::newRow("common form") << "06/14/2005 21:03:17" << true << at(2005, 6, 14, 21, 3, 17);
    QTest::newRow("one-digit month and day") << "6/4/2005 21:03:17" << true << at(2005, 6, 4, 21, 3, 17);
    QTest::newRow("hours and minutes") << "06/14/2005 9:03" << true << at(2005, 6, 14, 9, 3, 0);
    QTest::newRow("two-digit year before 30") << "06/14/05 21:03:17" << true << at(2005, 6, 14, 21, 3, 17);
    QTest::newRow("two-digit year from 30") << "06/14/95 21:03:17" << true << at(1995, 6, 14, 21, 3, 17);
    QTest::newRow("afternoon") << "06/14/2005 9:03:17 PM" << true << at(2005, 6, 14, 21, 3, 17);
    QTest::newRow("noon") << "06/14/2005 12:00 PM" << true << at(2005, 6, 14, 12, 0, 0);
    QTest::newRow("midnight") << "06/14/2005 12:00:05 am" << true << at(2005, 6, 14, 0, 0, 5);
    QTest::newRow("hour with suffix") << "06/14/2005 9 AM" << true << at(2005, 6, 14, 9, 0, 0);
    QTest::newRow("date alone") << "06/14/2005" << true << at(2005, 6, 14, 0, 0, 0);
    QTest::newRow("time alone is on the epoch day") << "21:03:17" << true << 75797.0 / 86400.0;
    QTest::newRow("dashes") << "6-14-2005 21:03" << true << at(2005, 6, 14, 21, 3, 0);
    QTest::newRow("surrounding spaces") << " 06/14/2005 21:03:17 " << true << at(2005, 6, 14, 21, 3, 17);
    QTest::newRow("leap day") << "02/29/2004 00:00:01" << true << at(2004, 2, 29, 0, 0, 1);
    QTest::newRow("before the epoch") << "12/29/1899 06:00:00" << true << -1.25;
    QTest::newRow("no leap day") << "02/29/2005 00:00:01" << false << 0.0;
    QTest::newRow("month 13") << "13/01/2005 10:00:00" << false << 0.0;
    QTest::newRow("hour 24") << "06/14/2005 24:00:00" << false << 0.0;
    QTest::newRow("minute 60") << "06/14/2005 23:60:00" << false << 0.0;
    QTest::newRow("thirteen PM") << "06/14/2005 13:00 PM" << false << 0.0;
    QTest::newRow("three-digit year") << "06/14/205 10:00" << false << 0.0;
    QTest::newRow("channel name") << "Guild" << false << 0.0;
    QTest::newRow("bare number") << "21" << false << 0.0;
    QTest::newRow("trailing words") << "06/14/2005 21:03:17 x" << false << 0.0;
    QTest::newRow("mixed separators") << "06/14-2005" << false << 0.0;
    QTest::newRow("common shape with letter") << "06/14/2005 21:03:1x" << false << 0.0;
}

void tst_Parser::timestampForms()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(double, days);

    double value = 12345.0;
    QCOMPARE(modMain::parseTimestamp(text, &value), accepted);
    if (accepted)
        QCOMPARE(value, days);
    else
        QCOMPARE(value, 12345.0);
}

void tst_Parser::timestampFormatRoundTripsEverySecond()
{
    QCOMPARE(modMain::formatTimestamp(0.0), QStringLiteral("12/30/1899 00:00:00"));
    QCOMPARE(modMain::formatTimestamp(-1.25), QStringLiteral("12/29/1899 06:00:00"));
    // Every second of one day, and one moment on many days across centuries.
    for (int s = 0; s < 86400; ++s) {
        const QString text = QStringLiteral("03/07/2005 %1:%2:%3")
                                 .arg(s / 3600, 2, 10, QLatin1Char('0'))
                                 .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                                 .arg(s % 60, 2, 10, QLatin1Char('0'));
        double days = 0;
        QVERIFY(modMain::parseTimestamp(text, &days));
        QCOMPARE(modMain::formatTimestamp(days), text);
    }
    QRandomGenerator rng(7);
    for (int i = 0; i < 20000; ++i) {
        const QDate date = QDate(1900, 1, 1).addDays(rng.bounded(70000));
        const int s = rng.bounded(86400);
        const QString text =
            date.toString(QStringLiteral("MM/dd/yyyy")) + QStringLiteral(" %1:%2:%3")
                                                              .arg(s / 3600, 2, 10, QLatin1Char('0'))
                                                              .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                                                              .arg(s % 60, 2, 10, QLatin1Char('0'));
        double days = 0;
        QVERIFY2(modMain::parseTimestamp(text, &days), qPrintable(text));
        QCOMPARE(modMain::formatTimestamp(days), text);
        QCOMPARE(std::floor(days), double(QDate(1899, 12, 30).daysTo(date)));
    }
}

void tst_Parser::fastParserAgreesWithStepByStepRules()
{
    // Random lines built from the pieces that steer the rules.
    const QStringList pieces = {QStringLiteral("[06/14/2005 21:03:17]"),
                                QStringLiteral("["),
                                QStringLiteral("]"),
                                QStringLiteral(" "),
                                QStringLiteral("  "),
                                QStringLiteral("tell"),
                                QStringLiteral("tells"),
                                QStringLiteral("Orrik"),
                                QStringLiteral(":"),
                                QStringLiteral("Trade:"),
                                QStringLiteral("You have gathered"),
                                QStringLiteral("You have received"),
                                QStringLiteral("x"),
                                QStringLiteral("[Guild]"),
                                QStringLiteral("06/14/2005"),
                                QStringLiteral("é€"),
                                QStringLiteral("9:03 PM")};
    QRandomGenerator rng(2005);
    for (int i = 0; i < 50000; ++i) {
        QString line;
        const int n = 1 + rng.bounded(8);
        for (int k = 0; k < n; ++k)
            line += pieces[rng.bounded(pieces.size())];
        const ChatLine fast = modMain::ParseChatLine(line);
        const ChatLine ref = referenceParse(line);
        QVERIFY2(fast.TimeStamp == ref.TimeStamp && fast.ChatName == ref.ChatName &&
                     fast.IsChannel == ref.IsChannel && fast.IsTell == ref.IsTell &&
                     fast.IsGameFeedback == ref.IsGameFeedback && fast.Text == ref.Text,
                 qPrintable(
                     QStringLiteral("line <%1>: name <%2> vs <%3>").arg(line, fast.ChatName, ref.ChatName)));
    }
}

void tst_Parser::addTrailingBackslash()
{
#ifdef Q_OS_WIN
    QCOMPARE(modMain::AddTrailingBackslash(QStringLiteral("C:\\logs")), QStringLiteral("C:\\logs\\"));
    QCOMPARE(modMain::AddTrailingBackslash(QStringLiteral("C:\\logs\\")), QStringLiteral("C:\\logs\\"));
    QCOMPARE(modMain::AddTrailingBackslash(QStringLiteral("C:/logs/")), QStringLiteral("C:/logs/"));
    QCOMPARE(modMain::AddTrailingBackslash(QString()), QStringLiteral("\\"));
#else
    QCOMPARE(modMain::AddTrailingBackslash(QStringLiteral("/srv/logs")), QStringLiteral("/srv/logs/"));
    QCOMPARE(modMain::AddTrailingBackslash(QStringLiteral("/srv/logs/")), QStringLiteral("/srv/logs/"));
    QCOMPARE(modMain::AddTrailingBackslash(QStringLiteral("C:\\logs\\")), QStringLiteral("C:\\logs\\"));
    QCOMPARE(modMain::AddTrailingBackslash(QString()), QStringLiteral("/"));
#endif
}

QTEST_GUILESS_MAIN(tst_Parser)
#include "tst_parser.moc"

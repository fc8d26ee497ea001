#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>
#include <thread>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

#include "ChildProcess.h"
#include "LogGenerator.h"
#include "TextCodec.h"
#include "modMain.h"

using modMain::DisplayOptions;

namespace {

struct Run {
    int status = -1; // -1 when the program crashed or had to be killed
    QByteArray out;
    QByteArray err;
};

// How the program's process is set up besides its arguments.
struct Setup {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    std::function<void()> inChild; // runs in the child before the program (descriptors, limits)
    QString inputFile;             // standard input from this file,
    QByteArray input;              // else these bytes
};

#ifdef Q_OS_UNIX
// Starts the tool with a pipe of our own as its standard output (QProcess drains a closed channel
// instead of closing it), so a test decides when the pipe is read or closed. Returns the read end.
int startIntoOwnPipe(QProcess &process, const QStringList &arguments)
{
    int ends[2];
    if (pipe(ends) != 0)
        qFatal("cannot make a pipe");
    process.setChildProcessModifier([ends] {
        dup2(ends[1], STDOUT_FILENO);
        close(ends[0]);
        close(ends[1]);
    });
    process.start(QStringLiteral(EVENFALL_CLI), arguments);
    close(ends[1]);
    return ends[0];
}
#endif

Run runCli(const QStringList &arguments, const Setup &setup)
{
    QProcess process;
    process.setProcessEnvironment(setup.environment);
#ifdef Q_OS_UNIX
    if (setup.inChild)
        process.setChildProcessModifier(setup.inChild);
#endif
    if (!setup.inputFile.isEmpty())
        process.setStandardInputFile(setup.inputFile);
    process.start(QStringLiteral(EVENFALL_CLI), arguments);
    if (setup.inputFile.isEmpty()) {
        process.write(setup.input);
        process.closeWriteChannel();
    }
    Run run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    if (process.exitStatus() == QProcess::NormalExit)
        run.status = process.exitCode();
    return run;
}

Run runCli(const QStringList &arguments,
           const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    Setup setup;
    setup.environment = environment;
    return runCli(arguments, setup);
}

// Text as the model assembles it (CR LF) as the tool prints it: UTF-8 with the platform's line ends.
QByteArray printed(const QString &text)
{
    QByteArray bytes = text.toUtf8();
#ifndef Q_OS_WIN
    bytes.replace("\r\n", "\n");
#endif
    return bytes;
}

QByteArray lf(const QByteArray &text)
{
    return printed(QString::fromUtf8(text).replace(u'\n', QStringLiteral("\r\n")));
}

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// Command-line words from one string split at spaces.
QStringList args(const char *words)
{
    return QString::fromUtf8(words).split(u' ', Qt::SkipEmptyParts);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// windows-1252, CR LF. Lines without a timestamp, a name used as a tell and as a channel, the nameless
// channel, a name holding a tab, feedback, and names and texts outside ASCII.
const QByteArray kHandLog = "Chat log for Veyla started 06/14/2005 21:00:03\r\n"
                            "[06/14/2005 21:00:10] [Trade: Orrik] selling ore\r\n"
                            "[06/14/2005 21:00:20] Orrik tells you: caf\xE9?\r\n"
                            "Kestin: no clock on this one\r\n"
                            "\r\n"
                            "[06/14/2005 21:00:30] You have gathered 3 iron ore.\r\n"
                            "[06/14/2005 21:00:40] [Orrik: Veyla] a channel called Orrik\r\n"
                            "[06/14/2005 21:00:50] [Guild] Veyla: hi\r\n"
                            "\xC9lodie tells you: untimed\r\n"
                            "[06/14/2005 21:01:00] [Trade: Veyla] it\x92s cheap\r\n"
                            "[06/14/2005 21:01:10] Veyla: bye\r\n"
                            "[06/14/2005 21:01:20] [Lo\tre: Orrik] old tales\r\n"
                            "Kestin: untimed again\r\n";

// Three sessions of one player, one named in capitals (the case of a name is no part of the session
// order), a session without a line, and files that are not logs.
const struct {
    const char *name;
    QByteArray bytes;
} kSessions[] = {
    {"CLIENT_CHAT_LOG_2005-06-16_0900.TXT", "Chat log for Veyla started 06/16/2005 09:00:00\r\n"
                                            "[06/16/2005 09:00:10] You tell Orrik: second ORE\r\n"
                                            "[06/16/2005 09:00:20] [Trade: Veyla] wtb ore\r\n"},
    {"client_chat_log_2005-06-14_2100.txt", "Chat log for Veyla started 06/14/2005 21:00:00\r\n"
                                            "[06/14/2005 21:00:10] Orrik tells you: first ore\r\n"
                                            "[06/14/2005 21:00:20] [Trade: Kestin] ore for sale\r\n"
                                            "[06/14/2005 21:00:30] You have gathered 2 iron ore.\r\n"},
    {"client_chat_log_2005-06-15_2000.txt", "Chat log for Veyla started 06/15/2005 20:00:00\r\n"
                                            "[06/15/2005 20:00:05] Veyla: hello Orrik\r\n"
                                            "[06/15/2005 20:00:10] [Lo\tre: Kestin] caf\xE9 tales\r\n"},
    {"client_chat_log_2005-06-15_2300.txt", "Chat log for Veyla started 06/15/2005 23:00:00\r\n"},
    {"notes.txt", "Notes\r\n[06/14/2005 21:00:00] Orrik tells you: not a log, ore\r\n"},
    {"client_chat_log_2005-06-14_2100.txt.bak", "Old\r\n[06/14/2005 21:00:00] Orrik tells you: ore\r\n"},
};

// Lines on which a backtracking regular expression has more ways to try than any limit allows: a run of
// words and spaces that cannot reach the end of the line.
const QByteArray kRunawayLine =
    "[06/14/2005 21:03:17] [Guild] Brannoc: the bridge at Greyford is bugged again, "
    "watch your step\r\n";
const QByteArray kLateRunaway = "Chat log for Veyla started 06/14/2005 21:00:03\r\n"
                                "[06/14/2005 21:00:10] Orrik tells you: hi there\r\n"
                                "\r\n" +
                                kRunawayLine + "[06/14/2005 21:00:20] Veyla: after it\r\n";

// Placeholders in the rows of a table: %S the folder of sessions, %H the hand-made log, %E a folder
// without logs, %M a file that does not exist, %G a log whose one line no regular expression decides,
// %L a log with such a line after one that matches, %U a UTF-16 log with a lone surrogate.
QString expand(QString text, const QTemporaryDir &dir)
{
    return text.replace(QStringLiteral("%S"), dir.filePath(QStringLiteral("sessions")))
        .replace(QStringLiteral("%G"), dir.filePath(QStringLiteral("runaway.txt")))
        .replace(QStringLiteral("%L"), dir.filePath(QStringLiteral("late runaway.txt")))
        .replace(QStringLiteral("%U"), dir.filePath(QStringLiteral("utf16.txt")))
        .replace(QStringLiteral("%H"), dir.filePath(QStringLiteral("hand.txt")))
        .replace(QStringLiteral("%E"), dir.filePath(QStringLiteral("no logs")))
        .replace(QStringLiteral("%M"), dir.filePath(QStringLiteral("missing.txt")));
}

} // namespace

class tst_Cli : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void listRows_data();
    void listRows();
    void listMatchesTheLoadedLog();
    void drivePathIsReadInTheWinePrefix();
    void showText_data();
    void showText();
    void showMatchesTheWindowsAssembly_data();
    void showMatchesTheWindowsAssembly();
    void missingNames_data();
    void missingNames();
    void outputWritesWhatTheWindowSaves_data();
    void outputWritesWhatTheWindowSaves();
    void outputThatCannotBeWrittenFails();
    void unreadableLogs_data();
    void unreadableLogs();
    void usageErrors_data();
    void usageErrors();
    void versionAndHelp();
    void anyBytesEndWithoutCrash_data();
    void anyBytesEndWithoutCrash();
    void closedPipeEndsTheRun();
    void standardInputAndFifosAreLogs();
    void fileNamesThatAreNotUtf8();
    void outputNamingTheLogIsRefused_data();
    void outputNamingTheLogIsRefused();
    void outputToDevicesAndFifosInPlace();
    void closedStandardDescriptors();
    void notEnoughMemoryIsOneLine();
    void heldOutputOfAChatThatComesLate();
    void failureAfterOutputBegan();
    void logCutShortWhileRead();
    void history_data();
    void history();
    void historyTrouble();
    void search_data();
    void search();
    void searchFindsWhatTheRecordsHold();

private:
    QString sessions_; // a folder of session logs, and files that are not
    QTemporaryDir dir_;
    QString hand_;
    QString generated_;
    QString example_;
};

void tst_Cli::initTestCase()
{
    QVERIFY(dir_.isValid());
    hand_ = writeFile(dir_.filePath(QStringLiteral("hand.txt")), kHandLog);
    const std::string log = loggen::generateToString({1024 * 1024, 7});
    generated_ = writeFile(dir_.filePath(QStringLiteral("generated.txt")), QByteArray::fromStdString(log));
    example_ = QStringLiteral(EVENFALL_EXAMPLES "/client_chat_log_2005-06-14_2100.txt");
    sessions_ = dir_.filePath(QStringLiteral("sessions"));
    // A folder named like a log is no log; neither is a link that leads nowhere.
    QVERIFY(QDir(sessions_).mkpath(QStringLiteral("client_chat_log_2005-06-13_0000.txt")));
    QVERIFY(QFile::link(dir_.filePath(QStringLiteral("gone")),
                        sessions_ + QStringLiteral("/client_chat_log_2005-06-13_0100.txt")));
    for (const auto &session : kSessions)
        writeFile(sessions_ + u'/' + QLatin1String(session.name), session.bytes);
    writeFile(expand(QStringLiteral("%G"), dir_), "h\r\n" + kRunawayLine);
    writeFile(expand(QStringLiteral("%L"), dir_), kLateRunaway);
    const QString utf16 = QStringLiteral("h\r\n[06/14/2005 21:00:00] Orrik tells you: caf\xDC00!\r\n");
    writeFile(expand(QStringLiteral("%U"), dir_),
              "\xFF\xFE" + QByteArray(reinterpret_cast<const char *>(utf16.utf16()), utf16.size() * 2));
    QVERIFY(QDir(dir_.path()).mkdir(QStringLiteral("no logs")));
    writeFile(dir_.filePath(QStringLiteral("no logs/notes.txt")), kHandLog);
}

void tst_Cli::listRows_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("expected");
    // Public/Global: first and last are its first and last line with a timestamp; Élodie has none.
    QTest::newRow("names, counts, first and last timestamps")
        << QStringList()
        << lf("Trade\t2\t06/14/2005 21:00:10\t06/14/2005 21:01:00\n"
              "Orrik\t2\t06/14/2005 21:00:20\t06/14/2005 21:00:40\n"
              "Public/Global\t4\t06/14/2005 21:00:30\t06/14/2005 21:01:10\n"
              "\t1\t06/14/2005 21:00:50\t06/14/2005 21:00:50\n"
              "Élodie\t1\t\t\n"
              "Lo re\t1\t06/14/2005 21:01:20\t06/14/2005 21:01:20\n");
    QTest::newRow("--kind adds a last column, mixed for a tell and channel name")
        << args("--kind")
        << lf("Trade\t2\t06/14/2005 21:00:10\t06/14/2005 21:01:00\tchannel\n"
              "Orrik\t2\t06/14/2005 21:00:20\t06/14/2005 21:00:40\tmixed\n"
              "Public/Global\t4\t06/14/2005 21:00:30\t06/14/2005 21:01:10\tpublic\n"
              "\t1\t06/14/2005 21:00:50\t06/14/2005 21:00:50\tchannel\n"
              "Élodie\t1\t\t\ttell\n"
              "Lo re\t1\t06/14/2005 21:01:20\t06/14/2005 21:01:20\tchannel\n");
}

void tst_Cli::listRows()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, expected);
    const Run run = runCli(QStringList{QStringLiteral("list"), hand_} + options);
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, expected);
}

namespace {

// The rows of list --kind worked out from the loaded log, one chat at a time.
QByteArray listOfLoadedLog(const modMain::LoadedChatLog &log)
{
    QString rows;
    for (const QString &name : log.ChatNames) {
        qsizetype lines = 0;
        double first = 0, last = 0;
        QSet<QString> kinds;
        for (const modMain::ChatLine &record : log.ChatLog) {
            if (record.ChatName != name)
                continue;
            ++lines;
            kinds.insert(record.IsChannel ? QStringLiteral("channel")
                         : record.IsTell  ? QStringLiteral("tell")
                                          : QStringLiteral("public"));
            if (record.TimeStamp != 0) {
                first = first == 0 ? record.TimeStamp : first;
                last = record.TimeStamp;
            }
        }
        const auto stamp = [](double days) { return days == 0 ? QString() : modMain::formatTimestamp(days); };
        rows += QString(name).replace(u'\t', u' ') + u'\t' + QString::number(lines) + u'\t' + stamp(first) +
                u'\t' + stamp(last) + u'\t' + (kinds.size() == 1 ? *kinds.begin() : QStringLiteral("mixed")) +
                QStringLiteral("\r\n");
    }
    return printed(rows);
}

} // namespace

void tst_Cli::listMatchesTheLoadedLog()
{
    QStringList logs{hand_, generated_};
    for (const QString &name : QDir(QStringLiteral(EVENFALL_EXAMPLES)).entryList({QStringLiteral("*.txt")}))
        logs.append(QStringLiteral(EVENFALL_EXAMPLES "/") + name);
    for (const QString &path : logs) {
        const modMain::LoadResult loaded = modMain::LoadChatLog(path);
        QCOMPARE(loaded.status, modMain::LoadStatus::Loaded);
        const Run run = runCli({QStringLiteral("list"), QStringLiteral("--kind"), path});
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out == listOfLoadedLog(loaded.log), qPrintable(path));
    }
}

void tst_Cli::drivePathIsReadInTheWinePrefix()
{
#ifdef Q_OS_WIN
    QSKIP("Windows opens drive paths itself");
#else
    // A player who runs the game under Wine copies the path from the game's settings.
    QTemporaryDir prefix;
    QVERIFY(QDir(prefix.path()).mkpath(QStringLiteral("dosdevices/c:/Games/Evenfall/Logs")));
    QVERIFY(QFile::copy(hand_, prefix.filePath(QStringLiteral("dosdevices/c:/Games/Evenfall/Logs/log.txt"))));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("WINEPREFIX"), prefix.path());
    const Run fromPrefix =
        runCli({QStringLiteral("list"), QStringLiteral("C:\\Games\\Evenfall\\Logs\\log.txt")}, environment);
    QCOMPARE(fromPrefix.status, 0);
    QCOMPARE(fromPrefix.out, runCli({QStringLiteral("list"), hand_}).out);
    // Elsewhere a backslash is part of a file name and is left alone.
    const QString odd = dir_.filePath(QStringLiteral("a\\b.txt"));
    QVERIFY(QFile::copy(hand_, odd));
    QCOMPARE(runCli({QStringLiteral("list"), odd}, environment).status, 0);
#endif
}

void tst_Cli::showText_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("one chat, decoded to UTF-8, a tell and a channel of the same name")
        << args("Orrik") << lf(" Orrik tells you: café?\n [Orrik: Veyla] a channel called Orrik\n");
    QTest::newRow("merged chats come in file order, not argument order")
        << args("Trade Élodie")
        << lf(" [Trade: Orrik] selling ore\nÉlodie tells you: untimed\n [Trade: Veyla] it’s cheap\n");
    QTest::newRow("a name given twice shows its lines once")
        << args("Trade Trade") << lf(" [Trade: Orrik] selling ore\n [Trade: Veyla] it’s cheap\n");
    QTest::newRow("the nameless channel is the empty name")
        << QStringList{QString()} << lf(" [Guild] Veyla: hi\n");
    QTest::newRow("game feedback shows by default")
        << args("Public/Global")
        << lf("Kestin: no clock on this one\n You have gathered 3 iron ore.\n Veyla: bye\nKestin: untimed "
              "again\n");
    QTest::newRow("--no-game-feedback leaves it out")
        << args("--no-game-feedback Public/Global")
        << lf("Kestin: no clock on this one\n Veyla: bye\nKestin: untimed again\n");
    QTest::newRow("--timestamps, a line without one shows the zero date")
        << args("Élodie Trade --timestamps")
        << lf("[06/14/2005 21:00:10] [Trade: Orrik] selling ore\n[12/30/1899 00:00:00]Élodie tells you: "
              "untimed\n"
              "[06/14/2005 21:01:00] [Trade: Veyla] it’s cheap\n");
    QTest::newRow("a name after -- may start with a dash")
        << args("--allow-missing -- -x Trade")
        << lf(" [Trade: Orrik] selling ore\n [Trade: Veyla] it’s cheap\n");
}

void tst_Cli::showText()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, expected);
    const Run run = runCli(QStringList{QStringLiteral("show"), hand_} + arguments);
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, expected);
}

void tst_Cli::showMatchesTheWindowsAssembly_data()
{
    QTest::addColumn<QString>("log");
    QTest::addColumn<QStringList>("chats");
    QTest::addColumn<QStringList>("flags");

    for (const QString &log : {example_, generated_}) {
        const QString tag = log == example_ ? QStringLiteral("example: ") : QStringLiteral("generated: ");
        auto row = [&](const char *name, const QStringList &chats, const char *flags) {
            QTest::newRow(qPrintable(tag + QLatin1String(name))) << log << chats << args(flags);
        };
        row("one channel", args("Trade"), "");
        row("a tell partner", args("Orrik"), "");
        row("public chat", args("Public/Global"), "");
        row("three merged", args("Orrik Trade") << QString(), "");
        row("--timestamps", args("Public/Global"), "--timestamps");
        row("--no-game-feedback", args("Public/Global"), "--no-game-feedback");
        row("--no-system", args("Public/Global"), "--no-system");
        row("all flags, merged", args("Public/Global Trade"), "--timestamps --no-game-feedback --no-system");
    }
}

void tst_Cli::showMatchesTheWindowsAssembly()
{
    QFETCH(QString, log);
    QFETCH(QStringList, chats);
    QFETCH(QStringList, flags);
    DisplayOptions options;
    options.ShowTimestamp = flags.contains(QStringLiteral("--timestamps"));
    options.DisplayGameFeedback = !flags.contains(QStringLiteral("--no-game-feedback"));
    options.DisplaySystem = !flags.contains(QStringLiteral("--no-system"));
    const modMain::LoadResult loaded = modMain::LoadChatLog(log);
    QCOMPARE(loaded.status, modMain::LoadStatus::Loaded);
    const QString text = modMain::BuildChatText(loaded.log.ChatLog, chats, options);
    QVERIFY(!text.isEmpty());

    const Run run = runCli(QStringList{QStringLiteral("show"), log} + chats + flags);
    QCOMPARE(run.status, 0);
    QVERIFY(run.out == printed(text)); // megabytes: QCOMPARE would print them all on failure
}

void tst_Cli::missingNames_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out");
    QTest::newRow("an unknown name fails and lists the chats") << args("Trade Nobody") << 1 << QByteArray();
    QTest::newRow("names differing in case are unknown") << args("trade") << 1 << QByteArray();
    QTest::newRow("--allow-missing shows the names found")
        << args("--allow-missing Nobody Trade") << 0
        << lf(" [Trade: Orrik] selling ore\n [Trade: Veyla] it’s cheap\n");
    QTest::newRow("--allow-missing with no name found prints nothing")
        << args("Nobody --allow-missing") << 0 << QByteArray();
}

void tst_Cli::missingNames()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    const Run run = runCli(QStringList{QStringLiteral("show"), hand_} + arguments);
    QCOMPARE(run.status, status);
    QCOMPARE(run.out, out);
    if (status == 0) {
        QCOMPARE(run.err, QByteArray());
        return;
    }
    const QString err = QString::fromUtf8(run.err);
    QVERIFY2(err.contains(hand_) && err.contains(u'"' + arguments.last() + u'"'), qPrintable(err));
    for (const char *known :
         {"\"Trade\"", "\"Orrik\"", "\"Public/Global\"", "\"\"", "\"Élodie\"", "\"Lo\tre\""})
        QVERIFY2(err.contains(QString::fromUtf8(known)), known);
}

void tst_Cli::outputWritesWhatTheWindowSaves_data()
{
    QTest::addColumn<QString>("log");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("expected"); // empty: the model's text in the log encoding
    QTest::newRow("the log encoding with CR LF")
        << hand_ << args("Trade Orrik")
        << QByteArray(" [Trade: Orrik] selling ore\r\n Orrik tells you: caf\xE9?\r\n"
                      " [Orrik: Veyla] a channel called Orrik\r\n [Trade: Veyla] it\x92s cheap\r\n");
    QTest::newRow("a generated chat whole, with timestamps")
        << generated_ << args("Public/Global --timestamps") << QByteArray();
    // Not the lone CR LF the window writes for an empty view: an export of nothing is an empty file.
    QTest::newRow("nothing shown writes an empty file")
        << hand_ << args("Nobody --allow-missing") << QByteArray("");
}

void tst_Cli::outputWritesWhatTheWindowSaves()
{
    QFETCH(QString, log);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, expected);
    if (expected.isNull()) {
        const modMain::LoadResult loaded = modMain::LoadChatLog(log);
        DisplayOptions options;
        options.ShowTimestamp = true;
        expected = modMain::encodeAnsi(modMain::BuildChatText(loaded.log.ChatLog, {arguments[0]}, options));
        QVERIFY(expected.size() > 100000);
    }
    const QString target = writeFile(dir_.filePath(QStringLiteral("saved.txt")), "old content to replace");
    const Run run =
        runCli(QStringList{QStringLiteral("show"), log, QStringLiteral("--output"), target} + arguments);
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QByteArray());
    QVERIFY(readFile(target) == expected);
}

void tst_Cli::outputThatCannotBeWrittenFails()
{
    const QString target = dir_.filePath(QStringLiteral("no such folder/saved.txt"));
    const Run run =
        runCli({QStringLiteral("show"), hand_, QStringLiteral("Trade"), QStringLiteral("--output"), target});
    QCOMPARE(run.status, 1);
    QCOMPARE(run.out, QByteArray());
    QVERIFY2(QString::fromUtf8(run.err).contains(target), run.err.constData());
    QVERIFY(!QFile::exists(target));

#ifdef Q_OS_UNIX
    // A disk that fills up midway gives a short write and then a failing one; so does a limit on the
    // size of files, on any disk. The system's reason is told, and the old file is kept.
    QTemporaryDir dir;
    const QString kept = writeFile(dir.filePath(QStringLiteral("kept.txt")), "old content");
    Setup limited;
    limited.inChild = [] {
        std::signal(SIGXFSZ, SIG_IGN); // the failing write is then an error, not the end of the program
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 64 << 10;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    };
    const Run full = runCli({QStringLiteral("show"), generated_, QStringLiteral("Public/Global"),
                             QStringLiteral("--output"), kept},
                            limited);
    QCOMPARE(full.status, 1);
    QCOMPARE(full.err, ("evenfall-chatlog: " + kept + ": ").toUtf8() + std::strerror(EFBIG) + '\n');
    QCOMPARE(readFile(kept), QByteArray("old content"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("kept.txt")});
#endif
}

void tst_Cli::unreadableLogs_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes"); // null: no file at all
    QTest::addColumn<QString>("reason");   // empty: whatever the system says
    QTest::newRow("missing file") << QStringLiteral("missing.txt") << QByteArray() << QString();
    QTest::newRow("a folder") << QStringLiteral(".") << QByteArray() << QString();
    QTest::newRow("empty file") << QStringLiteral("empty.txt") << QByteArray("")
                                << QStringLiteral("no chat lines");
    QTest::newRow("header only") << QStringLiteral("header.txt")
                                 << QByteArray("Chat log for Veyla started\r\n")
                                 << QStringLiteral("no chat lines");
    QTest::newRow("header and empty lines")
        << QStringLiteral("blank.txt") << QByteArray("Chat log\r\n\r\n\n\r\n")
        << QStringLiteral("no chat lines");
}

void tst_Cli::unreadableLogs()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    QTemporaryDir logs;
    const QString path = logs.filePath(name);
    if (!bytes.isNull())
        writeFile(path, bytes);
    const QString saved = logs.filePath(QStringLiteral("out.txt"));
    for (const QStringList &arguments : {args("list") << path, args("show") << path << "Trade"
                                                                            << "--output" << saved}) {
        const Run run = runCli(arguments);
        QCOMPARE(run.status, 1);
        QCOMPARE(run.out, QByteArray());
        QVERIFY(!QFile::exists(saved));
        const QString err = QString::fromUtf8(run.err);
        QVERIFY2(err.endsWith(u'\n') && err.count(u'\n') == 1 && err.contains(path), qPrintable(err));
        QVERIFY2(err.contains(reason) && err.size() > path.size() + 25, qPrintable(err));
    }
}

void tst_Cli::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("says"); // a part of the message that tells what is wrong
    const QString file = QStringLiteral(EVENFALL_EXAMPLES "/client_chat_log_2005-06-14_2100.txt");
    QTest::newRow("no command") << QStringList() << QByteArray("no command given");
    QTest::newRow("unknown command") << (args("cat") << file) << QByteArray("unknown command 'cat'");
    QTest::newRow("list without a file") << args("list") << QByteArray("list: no log file given");
    QTest::newRow("list with an extra argument")
        << (args("list") << file << "Trade") << QByteArray("list: unexpected argument 'Trade'");
    QTest::newRow("show without a file") << args("show") << QByteArray("show: no log file given");
    QTest::newRow("show without a chat") << (args("show") << file) << QByteArray("show: no chat name given");
    QTest::newRow("unknown option") << (args("list --colour") << file) << QByteArray("colour");
    QTest::newRow("an option of the other command")
        << (args("list --timestamps") << file) << QByteArray("timestamps");
    QTest::newRow("--output without its path") << (args("show") << file << "Trade"
                                                                << "--output")
                                               << QByteArray("--output");
    QTest::newRow("history without a folder") << args("history") << QByteArray("history: no folder given");
    QTest::newRow("history without a chat") << args("history .") << QByteArray("history: no chat name given");
    QTest::newRow("search without a pattern") << args("search") << QByteArray("search: no pattern given");
    QTest::newRow("search without a path")
        << args("search ore") << QByteArray("search: no log file or folder given");
    QTest::newRow("--chat without its name") << args("search ore . --chat") << QByteArray("--chat");
    QTest::newRow("an option of another command") << args("search --kind ore .") << QByteArray("kind");
    QTest::newRow("--output for history") << args("history --output x . Orrik") << QByteArray("output");
}

void tst_Cli::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, says);
    const Run run = runCli(arguments);
    QCOMPARE(run.status, 2);
    QCOMPARE(run.out, QByteArray());
    QVERIFY(run.err.startsWith("evenfall-chatlog: "));
    QVERIFY2(run.err.contains(says), run.err.constData());
}

void tst_Cli::versionAndHelp()
{
    Run run = runCli({QStringLiteral("--version")});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, lf("evenfall-chatlog " EVENFALL_VERSION_STRING "\n"));

    const struct {
        QStringList arguments;
        QStringList mentions;
        QString absent;
    } helps[] = {
        {{QStringLiteral("--help")},
         {QStringLiteral("list FILE"), QStringLiteral("show FILE CHAT"),
          QStringLiteral("history FOLDER CHAT"), QStringLiteral("search PATTERN PATH")},
         "--output"},
        {{QStringLiteral("history"), QStringLiteral("--help")},
         {QStringLiteral("--file-headers"), QStringLiteral("--timestamps"),
          QStringLiteral("--no-game-feedback"), QStringLiteral("--no-system")},
         "--output"},
        {{QStringLiteral("search"), QStringLiteral("--help")},
         {QStringLiteral("--chat <name>"), QStringLiteral("--ignore-case"), QStringLiteral("--regex"),
          QStringLiteral("--timestamps")},
         "--no-game-feedback"},
        {{QStringLiteral("list"), QStringLiteral("-h")}, {QStringLiteral("--kind")}, "--output"},
        {{QStringLiteral("show"), QStringLiteral("--help")},
         {QStringLiteral("--timestamps"), QStringLiteral("--no-game-feedback"), QStringLiteral("--no-system"),
          QStringLiteral("--allow-missing"), QStringLiteral("--output")},
         "--kind"},
    };
    for (const auto &help : helps) {
        run = runCli(help.arguments);
        QCOMPARE(run.status, 0);
        QCOMPARE(run.err, QByteArray());
        const QString out = QString::fromUtf8(run.out);
        for (const QString &mention : help.mentions)
            QVERIFY2(out.contains(mention), qPrintable(mention));
        QVERIFY(!out.contains(help.absent));
    }
}

void tst_Cli::anyBytesEndWithoutCrash_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QRandomGenerator random(5);
    QByteArray noise(300000, Qt::Uninitialized);
    random.fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    QTest::newRow("random bytes") << noise;
    QTest::newRow("zero bytes") << QByteArray(70000, '\0');
    QTest::newRow("a UTF-16 mark and an odd byte") << QByteArray("\xFF\xFEh\0\r\0\n\0[\0x", 11);
    QTest::newRow("a UTF-8 mark and a cut sequence") << QByteArray("\xEF\xBB\xBFh\r\n[1/1/2005] \xE2\x82");
    QTest::newRow("a megabyte without a line end") << QByteArray("h\r\n") + QByteArray(1 << 20, '[');
    QTest::newRow("brackets and colons") << QByteArray("h\r\n]\r\n[\r\n[:]\r\n[]\r\n [ : \r\n :] tell\r\n");
}

void tst_Cli::anyBytesEndWithoutCrash()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir logs;
    const QString path = writeFile(logs.filePath(QStringLiteral("odd.txt")), bytes);
    const Run list = runCli({QStringLiteral("list"), path, QStringLiteral("--kind")});
    QVERIFY2(list.status == 0 || list.status == 1, list.err.constData());
    const Run show = runCli({QStringLiteral("show"), path, QStringLiteral("Public/Global"), QString(),
                             QStringLiteral("--allow-missing"), QStringLiteral("--timestamps")});
    QVERIFY2(show.status == 0 || show.status == 1, show.err.constData());
}

void tst_Cli::closedPipeEndsTheRun()
{
#ifdef Q_OS_UNIX
    // Far more text than a pipe holds, so the program is still writing when we go away.
    QProcess process;
    const int output =
        startIntoOwnPipe(process, {QStringLiteral("show"), generated_, QStringLiteral("Public/Global")});
    char head[100];
    const bool readSome = read(output, head, sizeof head) > 0;
    close(output);
    QVERIFY(readSome);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit); // not killed by SIGPIPE
    QCOMPARE(process.exitCode(), 141);
    QCOMPARE(process.readAllStandardError(), QByteArray());
#else
    QSKIP("a closed pipe is a POSIX signal matter");
#endif
}

void tst_Cli::standardInputAndFifosAreLogs()
{
    const Run fromFile = runCli({QStringLiteral("list"), hand_});
    QCOMPARE(fromFile.status, 0);

    Setup piped;
    piped.input = kHandLog;
    const Run fromPipe = runCli({QStringLiteral("list"), QStringLiteral("-")}, piped);
    QCOMPARE(fromPipe.status, 0);
    QCOMPARE(fromPipe.out, fromFile.out);

    Setup empty;
    const Run nothing = runCli({QStringLiteral("list"), QStringLiteral("-")}, empty);
    QCOMPARE(nothing.status, 1);
    QCOMPARE(nothing.err, QByteArray("evenfall-chatlog: (standard input): no chat lines\n"));

    // A pipe cannot be read twice: show streams it as it streams a file, and an unknown name still
    // lists the chats, which were noted on the way.
    Setup bigPipe;
    bigPipe.input = readFile(generated_);
    const QStringList chats{QStringLiteral("Trade"), QStringLiteral("Orrik")};
    const Run streamed = runCli(QStringList{QStringLiteral("show"), QStringLiteral("-")} + chats, bigPipe);
    QCOMPARE(streamed.status, 0);
    QVERIFY(streamed.out == runCli(QStringList{QStringLiteral("show"), generated_} + chats).out);
    const QStringList unknown{QStringLiteral("Trade"), QStringLiteral("Nobody")};
    const Run unknownInPipe =
        runCli(QStringList{QStringLiteral("show"), QStringLiteral("-")} + unknown, piped);
    const Run unknownInFile = runCli(QStringList{QStringLiteral("show"), hand_} + unknown);
    QCOMPARE(unknownInPipe.status, 1);
    QCOMPARE(unknownInPipe.out, QByteArray());
    QCOMPARE(unknownInPipe.err, QByteArray(unknownInFile.err).replace(hand_.toUtf8(), "(standard input)"));

#ifdef Q_OS_UNIX
    // A FIFO is read like any file: the tool waits for its writer, as a shell reader does.
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("log.fifo"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    std::thread writer([&] {
        QFile f(fifo);
        if (f.open(QIODevice::WriteOnly))
            f.write(kHandLog);
    });
    const Run fromFifo = runCli({QStringLiteral("list"), fifo});
    writer.join();
    QCOMPARE(fromFifo.status, 0);
    QCOMPARE(fromFifo.out, fromFile.out);
#endif
}

void tst_Cli::fileNamesThatAreNotUtf8()
{
#ifndef Q_OS_UNIX
    QSKIP("file names are bytes on Unix only");
#else
    // A log named "café" in Latin-1: a name no UTF-8 text can spell. The shell passes the raw bytes.
    QTemporaryDir dir;
    const QByteArray name = "client_chat_log_caf\xE9.txt";
    const QByteArray path = QFile::encodeName(dir.path()) + '/' + name;
    // QTemporaryDir cannot name it either, so it is removed here.
    const auto remove = qScopeGuard([&] { ::unlink(path.constData()); });
    QFile log;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT, 0600);
    QVERIFY(fd >= 0 && log.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle));
    QCOMPARE(log.write(kHandLog), kHandLog.size());
    log.close();

    QProcess shell;
    shell.setWorkingDirectory(dir.path());
    shell.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"),
                 QStringLiteral("\"$0\" list \"$(printf 'client_chat_log_caf\\351.txt')\"; "
                                "\"$0\" list \"$(printf 'caf\\351 gone.txt')\""),
                 QStringLiteral(EVENFALL_CLI)});
    QVERIFY(shell.waitForFinished(60000));
    QCOMPARE(shell.readAllStandardOutput(), runCli({QStringLiteral("list"), hand_}).out);
    // A message names the file by its own bytes.
    QCOMPARE(shell.readAllStandardError(),
             QByteArray("evenfall-chatlog: caf\xE9 gone.txt: ") + QByteArray(std::strerror(ENOENT)) + '\n');

    // Found in its folder, it is read and named by the same bytes, so that the name printed opens it.
    const Run found = runCli({QStringLiteral("search"), QStringLiteral("selling"), dir.path()});
    QCOMPARE(found.status, 0);
    QCOMPARE(found.out, path + "\tTrade\t [Trade: Orrik] selling ore\n");
    const Run history = runCli({QStringLiteral("history"), QStringLiteral("--file-headers"), dir.path(),
                                QStringLiteral("\u00C9lodie")});
    QCOMPARE(history.status, 0);
    QCOMPARE(history.out, "== " + name + " ==\n\xC3\x89lodie tells you: untimed\n");
#endif
}

void tst_Cli::outputNamingTheLogIsRefused_data()
{
    QTest::addColumn<QString>("target"); // relative to the log's folder
    QTest::addColumn<bool>("fromInput"); // the log comes in on standard input
    QTest::newRow("the same name") << QStringLiteral("log.txt") << false;
    QTest::newRow("another spelling") << QStringLiteral("sub/../log.txt") << false;
    QTest::newRow("a symbolic link") << QStringLiteral("symbolic.txt") << false;
    QTest::newRow("a hard link") << QStringLiteral("hard.txt") << false;
    QTest::newRow("standard input from it") << QStringLiteral("log.txt") << true;
}

void tst_Cli::outputNamingTheLogIsRefused()
{
    QFETCH(QString, target);
    QFETCH(bool, fromInput);
    QTemporaryDir dir;
    const QString log = writeFile(dir.filePath(QStringLiteral("log.txt")), kHandLog);
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    QVERIFY(QFile::link(log, dir.filePath(QStringLiteral("symbolic.txt"))));
#ifdef Q_OS_UNIX
    QCOMPARE(
        ::link(QFile::encodeName(log).constData(), QFile::encodeName(dir.filePath("hard.txt")).constData()),
        0);
#endif
    Setup setup;
    if (fromInput)
        setup.inputFile = log;
    const QString output = dir.filePath(target);
    const Run run = runCli({QStringLiteral("show"), fromInput ? QStringLiteral("-") : log,
                            QStringLiteral("Trade"), QStringLiteral("--output"), output},
                           setup);
    QCOMPARE(run.status, 1);
    QCOMPARE(run.err,
             ("evenfall-chatlog: " + output + ": refusing to overwrite the log being read\n").toUtf8());
    QCOMPARE(readFile(log), kHandLog);
}

void tst_Cli::outputToDevicesAndFifosInPlace()
{
#ifndef Q_OS_UNIX
    QSKIP("devices and FIFOs are Unix file system objects");
#else
    QTemporaryDir dir;
    const QStringList show = {QStringLiteral("show"), hand_, QStringLiteral("Trade"),
                              QStringLiteral("--output")};
    const QByteArray trade = modMain::encodeAnsi(
        modMain::BuildChatText(modMain::LoadChatLog(hand_).log.ChatLog, {QStringLiteral("Trade")}, {}));

    const QString fifo = dir.filePath(QStringLiteral("out.fifo"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QByteArray got;
    std::thread reader([&] {
        QFile f(fifo);
        if (f.open(QIODevice::ReadOnly))
            got = f.readAll();
    });
    const Run toFifo = runCli(show + QStringList{fifo});
    reader.join();
    QCOMPARE(toFifo.status, 0);
    QCOMPARE(got, trade);
    QVERIFY(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());

    const QString full = dir.filePath(QStringLiteral("full"));
    if (::mknod(QFile::encodeName(full).constData(), S_IFCHR | 0600, makedev(1, 7)) != 0)
        QSKIP("cannot make device nodes here (not root, or a file system without devices)");
    const Run toFull = runCli(show + QStringList{full});
    QCOMPARE(toFull.status, 1);
    QCOMPARE(toFull.err, ("evenfall-chatlog: " + full + ": ").toUtf8() + std::strerror(ENOSPC) + '\n');
    struct stat st {};
    QVERIFY(::lstat(QFile::encodeName(full).constData(), &st) == 0 && S_ISCHR(st.st_mode));
#endif
}

void tst_Cli::closedStandardDescriptors()
{
#ifndef Q_OS_UNIX
    QSKIP("descriptors 0 to 2 are a Unix matter");
#else
    const QStringList show = {QStringLiteral("show"), hand_, QStringLiteral("Trade")};
    Setup closedOut;
    closedOut.inChild = [] { ::close(STDOUT_FILENO); };
    const Run noOutput = runCli(show, closedOut);
    QCOMPARE(noOutput.status, 1);
    QCOMPARE(noOutput.err, QByteArray("evenfall-chatlog: standard output is closed\n"));

    // Without standard output a save still works, and nothing lands in a descriptor taken for 1.
    QTemporaryDir dir;
    const QString saved = dir.filePath(QStringLiteral("saved.txt"));
    const Run toFile = runCli(show + QStringList{QStringLiteral("--output"), saved}, closedOut);
    QCOMPARE(toFile.status, 0);
    QCOMPARE(readFile(saved), modMain::encodeAnsi(modMain::BuildChatText(
                                  modMain::LoadChatLog(hand_).log.ChatLog, {QStringLiteral("Trade")}, {})));

    Setup closedInAndErr;
    closedInAndErr.inChild = [] {
        ::close(STDIN_FILENO);
        ::close(STDERR_FILENO);
    };
    const Run quiet = runCli(show, closedInAndErr);
    QCOMPARE(quiet.status, 0);
    QCOMPARE(quiet.out, runCli(show).out);
#endif
}

void tst_Cli::notEnoughMemoryIsOneLine()
{
#ifndef Q_OS_UNIX
    QSKIP("limits the address space with setrlimit");
#else
    if (childprocess::addressSanitizerBuild())
        QSKIP("an address-space limit does not mix with AddressSanitizer");
    QTemporaryDir dir;
    const QString huge = dir.filePath(QStringLiteral("huge.txt"));
    QVERIFY(childprocess::writeHugeLog(huge));
    Setup limited;
    limited.inChild = [] {
        const rlimit limit{rlim_t(256) << 20, rlim_t(256) << 20};
        ::setrlimit(RLIMIT_AS, &limit);
    };
    const Run run = runCli({QStringLiteral("list"), huge}, limited);
    QCOMPARE(run.status, 1);
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(run.err, ("evenfall-chatlog: " + huge + ": not enough memory to load it\n").toUtf8());
#endif
}

void tst_Cli::heldOutputOfAChatThatComesLate()
{
    // Nothing shows that Zora is in the log before its last line, so all the public chat before it
    // waits, far more than is kept in memory; without that line nothing at all may go out.
    QTemporaryDir dir;
    const QByteArray early = QByteArray::fromStdString(loggen::generateToString({24 << 20, 3}));
    const QString late = writeFile(dir.filePath(QStringLiteral("late.txt")),
                                   early + "[02/18/2007 03:06:00] Zora tells you: at last\r\n");
    const QStringList chats{QStringLiteral("Public/Global"), QString(), QStringLiteral("Trade"),
                            QStringLiteral("Zora")};
    const QByteArray expected =
        printed(modMain::BuildChatText(modMain::LoadChatLog(late).log.ChatLog, chats, {}));
    QVERIFY2(expected.size() > (9 << 20), QByteArray::number(expected.size()).constData());
    QVERIFY(expected.endsWith(" Zora tells you: at last\n"));
    Run run = runCli(QStringList{QStringLiteral("show"), late} + chats);
    QCOMPARE(run.status, 0);
    QVERIFY(run.out == expected);

    run = runCli(
        QStringList{QStringLiteral("show"), writeFile(dir.filePath(QStringLiteral("early.txt")), early)} +
        chats);
    QCOMPARE(run.status, 1);
    QCOMPARE(run.out, QByteArray());
    QVERIFY2(run.err.contains("no chat named \"Zora\"; the chats in it are:\n") &&
                 run.err.contains("\n  \"Trade\"\n"),
             run.err.constData());

#ifdef Q_OS_LINUX
    // What waits goes to a file where TMPDIR says (a small /tmp must not fail a large export), and the
    // file has no name from the start. The tool is caught while it reads that file back into a pipe
    // that is not read, and its open files are looked at.
    QTemporaryDir temporaries;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), temporaries.path());
    process.setProcessEnvironment(environment);
    const int output = startIntoOwnPipe(process, QStringList{QStringLiteral("show"), late} + chats);
    QByteArray out(1, '\0');
    const bool begun = read(output, out.data(), 1) == 1;
    QStringList held;
    const QString descriptors = QStringLiteral("/proc/%1/fd").arg(process.processId());
    for (const QString &fd :
         QDir(descriptors).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        char target[4096];
        const ssize_t n =
            readlink(QFile::encodeName(descriptors + u'/' + fd).constData(), target, sizeof target);
        if (n > 0 && QFile::decodeName(QByteArray(target, n)).startsWith(temporaries.path() + u'/'))
            held.append(QFile::decodeName(QByteArray(target, n)));
    }
    char buffer[65536];
    for (ssize_t n; (n = read(output, buffer, sizeof buffer)) > 0;)
        out.append(buffer, n);
    close(output);
    QVERIFY(process.waitForFinished(60000));
    QVERIFY(begun);
    QCOMPARE(held.size(), 1);
    QVERIFY2(held[0].endsWith(QStringLiteral(" (deleted)")), qPrintable(held[0]));
    QCOMPARE(QDir(temporaries.path())
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList());
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(out == expected);
#endif
}

void tst_Cli::failureAfterOutputBegan()
{
#ifndef Q_OS_UNIX
    QSKIP("limits the address space with setrlimit");
#else
    if (childprocess::addressSanitizerBuild())
        QSKIP("an address-space limit does not mix with AddressSanitizer");
    // Megabytes of lines, then one line of gigabytes that no memory holds.
    QTemporaryDir dir;
    const QByteArray lines = QByteArray::fromStdString(loggen::generateToString({4 << 20, 9}));
    const QString part = writeFile(dir.filePath(QStringLiteral("part.txt")), lines);
    const QString log = writeFile(dir.filePath(QStringLiteral("huge.txt")), lines);
    QVERIFY(QFile::resize(log, qint64(8) << 30));
    const QString target = writeFile(dir.filePath(QStringLiteral("saved.txt")), "old content");
    Setup limited;
    limited.inChild = [] {
        const rlimit limit{rlim_t(256) << 20, rlim_t(256) << 20};
        ::setrlimit(RLIMIT_AS, &limit);
    };
    const QByteArray message = ("evenfall-chatlog: " + log + ": not enough memory to load it\n").toUtf8();

    // The file keeps its old text, and no temporary is left beside it.
    Run run = runCli(
        {QStringLiteral("show"), log, QStringLiteral("Public/Global"), QStringLiteral("--output"), target},
        limited);
    QCOMPARE(run.status, 1);
    QCOMPARE(run.err, message);
    QCOMPARE(readFile(target), QByteArray("old content"));
    QCOMPARE(
        QDir(dir.path()).entryList(QDir::Files, QDir::Name),
        QStringList({QStringLiteral("huge.txt"), QStringLiteral("part.txt"), QStringLiteral("saved.txt")}));

    // What went to standard output cannot be taken back: the status says it is not the whole text.
    run = runCli({QStringLiteral("show"), log, QStringLiteral("Public/Global")}, limited);
    QCOMPARE(run.status, 1);
    QCOMPARE(run.err, message);
    const QByteArray whole = printed(modMain::BuildChatText(modMain::LoadChatLog(part).log.ChatLog,
                                                            {QStringLiteral("Public/Global")}, {}));
    QVERIFY(!run.out.isEmpty() && whole.startsWith(run.out));
#endif
}

void tst_Cli::logCutShortWhileRead()
{
#ifndef Q_OS_UNIX
    QSKIP("a pipe of our own as the program's output is a POSIX matter");
#else
    // The tool writes into a pipe that is not read until the log has been cut: it cannot have read
    // much more of the log than it has written.
    QTemporaryDir dir;
    const QString log = writeFile(dir.filePath(QStringLiteral("log.txt")),
                                  QByteArray::fromStdString(loggen::generateToString({16 << 20, 11})));
    QProcess process;
    const int output =
        startIntoOwnPipe(process, {QStringLiteral("show"), log, QStringLiteral("Public/Global")});
    char buffer[65536];
    const bool begun = read(output, buffer, 100) > 0;
    QVERIFY(QFile::resize(log, 1 << 20));
    while (read(output, buffer, sizeof buffer) > 0) {
    }
    close(output);
    QVERIFY(begun);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    const QByteArray err = process.readAllStandardError();
    QVERIFY2(err.startsWith(("evenfall-chatlog: " + log + ": The file became shorter").toUtf8()),
             err.constData());
#endif
}

void tst_Cli::history_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("a tell across sessions, in the order of the names")
        << args("Orrik") << lf(" Orrik tells you: first ore\n You tell Orrik: second ORE\n");
    QTest::newRow("a name given twice shows its lines once")
        << args("Orrik Orrik") << lf(" Orrik tells you: first ore\n You tell Orrik: second ORE\n");
    QTest::newRow("headers only before the sessions that show lines")
        << args("--file-headers Trade Orrik")
        << lf("== client_chat_log_2005-06-14_2100.txt ==\n Orrik tells you: first ore\n"
              " [Trade: Kestin] ore for sale\n== CLIENT_CHAT_LOG_2005-06-16_0900.TXT ==\n"
              " You tell Orrik: second ORE\n [Trade: Veyla] wtb ore\n");
    QTest::newRow("game feedback shows by default")
        << args("Public/Global") << lf(" You have gathered 2 iron ore.\n Veyla: hello Orrik\n");
    QTest::newRow("--timestamps, --no-game-feedback and a name outside ASCII")
        << args("--timestamps --no-game-feedback Public/Global Lo\tre")
        << lf("[06/15/2005 20:00:05] Veyla: hello Orrik\n[06/15/2005 20:00:10] [Lo\tre: Kestin] café "
              "tales\n");
}

void tst_Cli::history()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, expected);
    const Run run = runCli(QStringList{QStringLiteral("history"), sessions_} + arguments);
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, expected);
}

void tst_Cli::historyTrouble()
{
    // A chat that no session holds is named, after the lines of the others.
    Run run =
        runCli({QStringLiteral("history"), sessions_, QStringLiteral("Nobody"), QStringLiteral("Orrik")});
    QCOMPARE(run.status, 1);
    QCOMPARE(run.out, lf(" Orrik tells you: first ore\n You tell Orrik: second ORE\n"));
    QCOMPARE(run.err,
             ("evenfall-chatlog: " + sessions_ + ": no chat named \"Nobody\" in its logs\n").toUtf8());

    const struct {
        QString folder;
        QString reason;
    } folders[] = {
        {expand(QStringLiteral("%E"), dir_), QStringLiteral("no chat logs (client_chat_log_*.txt) in it")},
        {expand(QStringLiteral("%M"), dir_), QString::fromLocal8Bit(std::strerror(ENOENT))},
        {hand_, QString::fromLocal8Bit(std::strerror(ENOTDIR))},
    };
    for (const auto &folder : folders) {
        run = runCli({QStringLiteral("history"), folder.folder, QStringLiteral("Orrik")});
        QCOMPARE(run.status, 1);
        QCOMPARE(run.out, QByteArray());
        QCOMPARE(QString::fromUtf8(run.err),
                 QStringLiteral("evenfall-chatlog: %1: %2\n").arg(folder.folder, folder.reason));
    }
}

void tst_Cli::search_data()
{
    QTest::addColumn<QStringList>("arguments"); // with the placeholders of expand()
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QString>("message"); // in the one line of standard error; empty: none

    const QByteArray first = "%S/client_chat_log_2005-06-14_2100.txt\t";
    const QByteArray last = "%S/CLIENT_CHAT_LOG_2005-06-16_0900.TXT\t";
    QTest::newRow("a fixed string in a folder: the sessions in order, nothing but logs")
        << args("ore %S") << 0
        << lf(first + "Orrik\t Orrik tells you: first ore\n" + first +
              "Trade\t [Trade: Kestin] ore for sale\n" + first +
              "Public/Global\t You have gathered 2 iron ore.\n" + last + "Trade\t [Trade: Veyla] wtb ore\n")
        << QString();
    QTest::newRow("--ignore-case and --chat, given twice")
        << args("--chat Orrik --ignore-case ORE --chat Trade %S") << 0
        << lf(first + "Orrik\t Orrik tells you: first ore\n" + first +
              "Trade\t [Trade: Kestin] ore for sale\n" + last + "Orrik\t You tell Orrik: second ORE\n" +
              last + "Trade\t [Trade: Veyla] wtb ore\n")
        << QString();
    QTest::newRow("--regex") << (QStringList{QStringLiteral("--regex"), QStringLiteral("^ You (tell|have) "),
                                             QStringLiteral("%S")})
                             << 0
                             << lf(first + "Public/Global\t You have gathered 2 iron ore.\n" + last +
                                   "Orrik\t You tell Orrik: second ORE\n")
                             << QString();
    QTest::newRow("files and folders, --timestamps, a tab in a chat name")
        << args("--timestamps café %H %S") << 0
        << lf("%H\tOrrik\t[06/14/2005 21:00:20] Orrik tells you: café?\n"
              "%S/client_chat_log_2005-06-15_2000.txt\tLo re\t[06/15/2005 20:00:10] [Lo\tre: Kestin] café "
              "tales\n")
        << QString();
    QTest::newRow("the timestamp is not part of the text")
        << args("06/14 %S") << 1 << QByteArray() << QString();
    QTest::newRow("a regular expression in a fixed string")
        << args("o.e %S") << 1 << QByteArray() << QString();
    QTest::newRow("a log that cannot be read fails after the others")
        << args("wtb %M %S") << 2 << lf(last + "Trade\t [Trade: Veyla] wtb ore\n") << QStringLiteral("%M: ");
    QTest::newRow("a folder without logs")
        << args("ore %E") << 2 << QByteArray()
        << QStringLiteral("%E: no chat logs (client_chat_log_*.txt) in it");
    QTest::newRow("--regex --ignore-case, a pattern decided at once")
        << (QStringList{QStringLiteral("--regex"), QStringLiteral("--ignore-case"),
                        QStringLiteral("^ you TELL"), QStringLiteral("%S")})
        << 0 << lf(last + "Orrik\t You tell Orrik: second ORE\n") << QString();
    // Not "no match" (status 1, nothing said): the line matches, but the engine cannot tell.
    const QString runaway = QStringLiteral("(\\w+\\s?)+$");
    QTest::newRow("a regular expression that gives up is an error")
        << (QStringList{QStringLiteral("--regex"), runaway, QStringLiteral("%G")}) << 2 << QByteArray()
        << QStringLiteral("search: %1: the regular expression gave up on %G line 2 (too complex)")
               .arg(runaway);
    QTest::newRow("a give-up ends the search; the lines before it stay printed")
        << (QStringList{QStringLiteral("--regex"), runaway, QStringLiteral("%L"), QStringLiteral("%H")}) << 2
        << lf("%L\tOrrik\t Orrik tells you: hi there\n")
        << QStringLiteral("search: %1: the regular expression gave up on %L line 4 (too complex)")
               .arg(runaway);
    QTest::newRow("a lone surrogate is U+FFFD to a regular expression, as printed")
        << (QStringList{QStringLiteral("--regex"), QStringLiteral("caf.!$"), QStringLiteral("%U")}) << 0
        << lf("%U\tOrrik\t Orrik tells you: caf\xEF\xBF\xBD!\n") << QString();
    QTest::newRow("a bad regular expression is a wrong command line")
        << args("--regex (ore %S") << 2 << QByteArray()
        << QStringLiteral(
               "search: bad regular expression \"(ore\": missing closing parenthesis at character 5");
}

void tst_Cli::search()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QByteArray, expected);
    QFETCH(QString, message);
    for (QString &argument : arguments)
        argument = expand(argument, dir_);
    const Run run = runCli(QStringList{QStringLiteral("search")} + arguments);
    QCOMPARE(run.status, status);
    QCOMPARE(QString::fromUtf8(run.out), expand(QString::fromUtf8(expected), dir_));
    if (message.isEmpty()) {
        QCOMPARE(run.err, QByteArray());
    } else {
        const QString err = QString::fromUtf8(run.err);
        QVERIFY2(err.startsWith(QStringLiteral("evenfall-chatlog: ") + expand(message, dir_)),
                 qPrintable(err));
    }
}

void tst_Cli::searchFindsWhatTheRecordsHold()
{
    // Short texts of few letters, so that patterns start, end and half match everywhere: at the
    // start and end of a text, within and across the first eight characters, and not at all.
    QTemporaryDir dir;
    QRandomGenerator random(17);
    QByteArray bytes = "Chat log\r\n";
    const char *const speakers[] = {"[Trade: Orrik] ", "Orrik tells you: ", "[Guild] ", "",
                                    "You have gathered "};
    for (int i = 0; i < 3000; ++i) {
        bytes += "[06/14/2005 21:00:00] ";
        bytes += speakers[random.bounded(5)];
        for (int n = random.bounded(40); n > 0; --n)
            bytes += "ab a\xE9"[random.bounded(5)];
        bytes += "\r\n";
    }
    const QString log = writeFile(dir.filePath(QStringLiteral("letters.txt")), bytes);
    const modMain::LoadResult loaded = modMain::LoadChatLog(log);
    QCOMPARE(loaded.status, modMain::LoadStatus::Loaded);
    for (const char *pattern : {"a", "\xC3\xA9", "ab", "aba", "a a", "bab", "ababa",
                                "a\xC3\xA9"
                                "a b",
                                "abababababab", "ba ab ba ab ba"}) {
        const QString text = QString::fromUtf8(pattern);
        for (const bool ignoreCase : {false, true}) {
            QString expected;
            for (const modMain::ChatLine &record : loaded.log.ChatLog) {
                if (record.Text.contains(text, ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive))
                    expected += log + u'\t' + record.ChatName + u'\t' + record.Text + QStringLiteral("\r\n");
            }
            const QString upper = ignoreCase ? text.toUpper() : text;
            const Run run = runCli(ignoreCase ? QStringList{QStringLiteral("search"),
                                                            QStringLiteral("--ignore-case"), upper, log}
                                              : QStringList{QStringLiteral("search"), text, log});
            QCOMPARE(run.status, expected.isEmpty() ? 1 : 0);
            QVERIFY2(run.out == printed(expected), pattern);
        }
    }
}

QTEST_GUILESS_MAIN(tst_Cli)
#include "tst_cli.moc"

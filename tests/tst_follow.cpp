#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include "LogFollower.h"
#include "WindowDriver.h"
#include "modMain.h"

namespace {

const QByteArray kHeader = "Chat log for Veyla started 06/14/2005 21:00:03\r\n";

QString recordText(const modMain::ChatLine &r)
{
    return QStringLiteral("%1|%2|%3%4%5%6|%7")
        .arg(r.TimeStamp, 0, 'f', 8)
        .arg(r.ChatName)
        .arg(int(r.IsChannel))
        .arg(int(r.IsTell))
        .arg(int(r.IsGameFeedback))
        .arg(int(r.IsSystem))
        .arg(r.Text);
}

template <typename Log> QStringList recordsOf(const Log &log)
{
    QStringList out;
    for (const modMain::ChatLine &r : log)
        out.append(recordText(r));
    return out;
}

void appendBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::Append));
    QCOMPARE(f.write(bytes), bytes.size());
}

// What the import followed by reads gives: the import's log with each read applied to it.
void applyRead(modMain::LoadedChatLog &log, const modMain::FollowRead &read)
{
    QCOMPARE(read.status, modMain::FollowStatus::Read);
    modMain::appendFollowed(log, read);
}

// Imports path as the window does and starts a follower where the import ended.
modMain::LogFollower importAndFollow(const QString &path, QStringList *records)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot open %s", qPrintable(path));
    const modMain::LoadResult result = modMain::LoadChatLog(file);
    *records = recordsOf(result.log.ChatLog);
    return modMain::LogFollower(path, file);
}

QByteArray utf16le(const QString &text)
{
    QByteArray bytes("\xFF\xFE");
    for (QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

// Lines of chat name of about length characters each, numbered from first.
QByteArray tellLines(const QString &name, int count, int length = 100, int first = 0)
{
    QByteArray bytes;
    for (int i = first; i < first + count; ++i) {
        QByteArray line = QStringLiteral("[06/14/2005 21:%1:%2] %3 tells you: line %4 ")
                              .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                              .arg(i % 60, 2, 10, QLatin1Char('0'))
                              .arg(name)
                              .arg(i)
                              .toLatin1();
        line += QByteArray(std::max<qsizetype>(0, length - line.size()), 'x');
        bytes += line + "\r\n";
    }
    return bytes;
}

// One line from each of the chats Name00 to Name29, in that order.
QByteArray thirtyChats()
{
    QByteArray bytes;
    for (int i = 0; i < 30; ++i)
        bytes += tellLines(QStringLiteral("Name%1").arg(i, 2, 10, QLatin1Char('0')), 1);
    return bytes;
}

QString kPublic()
{
    return modMain::kPublicChatName;
}

} // namespace

class tst_Follow : public QObject {
    Q_OBJECT
private slots:
    // The model.
    void importAndReadsAgreeWithWholeLoad_data();
    void importAndReadsAgreeWithWholeLoad();
    void unfinishedLineWaitsForItsEnd();
    void lastLineOfTheImportGoesOn();
    void carriageReturnAtTheEndOfARead();
    void changedFileStopsTheReads_data();
    void changedFileStopsTheReads();
    void rewriteIsNeverReadAsAnAppend();
    void largeGrowthComesInPieces();
    void droppedRecordEndsItsPart();

    // The window.
    void menuItemAndTitle();
    void appendedLinesShowAsTheyCome();
    void newChatIsListedBelowTheOthers();
    void followedChatsKeepTheOrderAndFilter_data();
    void followedChatsKeepTheOrderAndFilter();
    void viewAtTheEndStaysAtTheEnd();
    void viewElsewhereStaysPut();
    void cutOrReplacedLogStopsWithABox_data();
    void cutOrReplacedLogStopsWithABox();
    void importTurnsFollowingOff();
    void failedImportKeepsFollowing();
    void allLogsOfAFolderAreNotFollowed();
    void unfinishedLastLineOfTheImportGoesOn_data();
    void unfinishedLastLineOfTheImportGoesOn();
    void readWaitsWhileAWorkerReadsTheLog();
};

void tst_Follow::importAndReadsAgreeWithWholeLoad_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("windows-1252, CR LF and blank lines")
        << QByteArray("Head\r\n[06/14/2005 21:03:17] Veyla: caf\xE9\r\n\r\n"
                      "[06/14/2005 21:03:18] [Trade: Orrik] ore\r\nOrrik tells you: hi\r\n");
    QTest::newRow("LF and lone CR") << QByteArray("Head\n[06/14/2005 21:03:17] A: one\r[06/14/2005 21:03:18] "
                                                  "B tells you: two\n\r\nthree\r");
    QTest::newRow("UTF-8 with a mark")
        << QByteArray("\xEF\xBB\xBFHead\r\n[06/14/2005 21:03:17] Veyla: caf\xC3\xA9 \xE2\x82\xAC\r\n"
                      "Orrik tells you: \xF0\x9F\x98\x80!\r\n");
    QTest::newRow("UTF-16 with a mark")
        << utf16le(QStringLiteral("Head\r\n[06/14/2005 21:03:17] Veyla: caf\u00E9\r\nOrrik tells you: "
                                  "\U0001F600\r\n"));
}

// The import ends at every byte, and what follows comes in two writes cut at every byte after it.
// A cut in a CR LF, a UTF-8 sequence or a UTF-16 unit is among them.
void tst_Follow::importAndReadsAgreeWithWholeLoad()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("client_chat_log_a.txt"));
    writeFile(path, bytes);
    const modMain::LoadedChatLog whole = modMain::LoadChatLog(path).log;
    QVERIFY(whole.ChatLog.size() >= 2);

    int imports = 0;
    for (qsizetype cut = 1; cut <= bytes.size(); ++cut) {
        writeFile(path, bytes.first(cut));
        modMain::LoadedChatLog imported;
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            modMain::LoadResult result = modMain::LoadChatLog(file);
            if (result.status != modMain::LoadStatus::Loaded)
                continue;
            imported = std::move(result.log);
        }
        ++imports;
        // Every cut of the writes after every third import; one write after the others.
        const qsizetype lastSplit = cut % 3 == 0 ? bytes.size() : cut;
        for (qsizetype split = cut; split <= lastSplit; ++split) {
            QVERIFY(QFile::resize(path, cut));
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite | QIODevice::Unbuffered));
            QVERIFY(file.seek(cut)); // where the import ended
            modMain::LogFollower follower(path, file);
            modMain::LoadedChatLog log = imported;
            QCOMPARE(file.write(bytes.sliced(cut, split - cut)), split - cut);
            applyRead(log, follower.readAppended());
            QCOMPARE(file.write(bytes.sliced(split)), bytes.size() - split);
            applyRead(log, follower.readAppended());
            const QStringList records = recordsOf(log.ChatLog);
            QVERIFY2(records == recordsOf(whole.ChatLog) && log.ChatNames == whole.ChatNames,
                     qPrintable(QStringLiteral("import of %1 bytes, writes cut at %2: %3 / %4")
                                    .arg(cut)
                                    .arg(split)
                                    .arg(records.join(u'\n'), log.ChatNames.join(u','))));
        }
    }
    QVERIFY(imports > 10);
}

void tst_Follow::unfinishedLineWaitsForItsEnd()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("client_chat_log_a.txt"));
    writeFile(path, kHeader + "[06/14/2005 21:03:17] Veyla: one\r\n");
    QStringList records;
    modMain::LogFollower follower = importAndFollow(path, &records);
    QCOMPARE(records.size(), 1);

    appendBytes(path, "[06/14/2005 21:03:18] Orrik tells you: par");
    modMain::FollowRead read = follower.readAppended();
    QCOMPARE(read.status, modMain::FollowStatus::Read);
    QVERIFY(read.records.isEmpty());
    QVERIFY(follower.readAppended().records.isEmpty()); // nothing new: still waiting

    appendBytes(path, "tly\r\n");
    read = follower.readAppended();
    QCOMPARE(read.records.size(), 1);
    QVERIFY(!read.dropsLast);
    QCOMPARE(read.records.first().ChatName, QStringLiteral("Orrik"));
    QCOMPARE(read.records.first().Text, QStringLiteral(" Orrik tells you: partly"));
}

void tst_Follow::lastLineOfTheImportGoesOn()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("client_chat_log_a.txt"));
    // The import takes the unfinished line as a public line; it turns out to be a tell.
    writeFile(path, kHeader + "[06/14/2005 21:03:17] Veyla: one\r\n[06/14/2005 21:03:18] Orrik tel");
    QStringList records;
    modMain::LogFollower follower = importAndFollow(path, &records);
    QCOMPARE(records.size(), 2);
    appendBytes(path, "ls you: hi\r\n[06/14/2005 21:03:19] Veyla: two\r\n");
    const modMain::FollowRead read = follower.readAppended();
    QVERIFY(read.dropsLast);
    QCOMPARE(read.records.size(), 2);
    QCOMPARE(read.records.first().ChatName, QStringLiteral("Orrik"));
    QVERIFY(read.records.first().IsTell);

    // A line the import read whole but without its end is not read twice.
    writeFile(path, kHeader + "[06/14/2005 21:03:17] Veyla: one");
    modMain::LogFollower again = importAndFollow(path, &records);
    appendBytes(path, "\r\n");
    const modMain::FollowRead none = again.readAppended();
    QVERIFY(none.records.isEmpty());
    QVERIFY(!none.dropsLast);

    // Its start is found by reading back in steps of 64 KiB: an unfinished line of several after another
    // such line, in one and in two bytes a character.
    const QString longLine = QStringLiteral("Head\r\n[06/14/2005 21:03:17] Veyla: ") + QString(90000, u'v') +
                             QStringLiteral("\r\n[06/14/2005 21:03:18] Orrik tells you: ") +
                             QString(100000, QChar(0xE9)) + QStringLiteral("\r\n");
    for (const QByteArray &bytes : {modMain::encodeAnsi(longLine), utf16le(longLine)}) {
        const qsizetype cut = bytes.size() - 1000;
        writeFile(path, bytes.first(cut));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        modMain::LoadedChatLog log = modMain::LoadChatLog(file).log;
        modMain::LogFollower third(path, file);
        appendBytes(path, bytes.sliced(cut));
        const modMain::FollowRead rest = third.readAppended();
        QVERIFY(rest.dropsLast);
        applyRead(log, rest);
        QCOMPARE(recordsOf(log.ChatLog), recordsOf(modMain::LoadChatLog(path).log.ChatLog));
    }
}

void tst_Follow::carriageReturnAtTheEndOfARead()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("client_chat_log_a.txt"));
    writeFile(path, kHeader + "Veyla: one\r\n");
    QStringList records;
    modMain::LogFollower follower = importAndFollow(path, &records);
    // The line is there at once, not when the next write shows whether an LF follows.
    appendBytes(path, "Veyla: two\r");
    QCOMPARE(recordsOf(follower.readAppended().records).size(), 1);
    appendBytes(path, "\nVeyla: three\r\n");
    const modMain::FollowRead read = follower.readAppended();
    QCOMPARE(read.records.size(), 1);
    QCOMPARE(read.records.first().Text, QStringLiteral("Veyla: three"));
}

void tst_Follow::changedFileStopsTheReads_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("readFirst"); // whether a read came before the change
    QTest::addColumn<modMain::FollowStatus>("status");
    for (bool readFirst : {false, true}) {
        const char *when = readFirst ? " after a read" : " before any read";
        QTest::addRow("cut short%s", when) << "shrink" << readFirst << modMain::FollowStatus::Shrunk;
        QTest::addRow("replaced%s", when) << "replace" << readFirst << modMain::FollowStatus::Replaced;
        QTest::addRow("removed%s", when) << "remove" << readFirst << modMain::FollowStatus::Removed;
    }
    QTest::newRow("emptied and written anew, longer")
        << "rewrite" << true << modMain::FollowStatus::Rewritten;
}

void tst_Follow::changedFileStopsTheReads()
{
    QFETCH(QString, change);
    QFETCH(bool, readFirst);
    QFETCH(modMain::FollowStatus, status);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("client_chat_log_a.txt"));
    const QByteArray log = kHeader + tellLines(QStringLiteral("Orrik"), 5);
    writeFile(path, log);
    QStringList records;
    modMain::LogFollower follower = importAndFollow(path, &records);
    if (readFirst) {
        appendBytes(path, tellLines(QStringLiteral("Orrik"), 1, 100, 5));
        QCOMPARE(follower.readAppended().records.size(), 1);
    }
    if (change == u"shrink") {
        QVERIFY(QFile::resize(path, 60));
    } else if (change == u"replace") {
        const QString other = dir.filePath(QStringLiteral("other.txt"));
        writeFile(other, log + log);
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::rename(other, path));
    } else if (change == u"remove") {
        QVERIFY(QFile::remove(path));
    } else {
        writeFile(path, kHeader + tellLines(QStringLiteral("Veyla"), 10, 90)); // truncates, same file
    }
    const modMain::FollowRead read = follower.readAppended();
    QCOMPARE(read.status, status);
    QVERIFY(read.records.isEmpty());
}

// The game starts a session anew in the same file: emptied, then written again. Caught at any point of
// the writing, before the first read or after one that found nothing new, it stops the reads.
void tst_Follow::rewriteIsNeverReadAsAnAppend()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("client_chat_log_a.txt"));
    const QByteArray log = kHeader + tellLines(QStringLiteral("Orrik"), 5);
    const QByteArray anew =
        "Chat log for Veyla started 06/14/2005 22:10:00\r\n" + tellLines(QStringLiteral("Veyla"), 8, 90);
    // Written over in place and cut to size: the same file as an emptied one written again, without the
    // flush that some file systems make when a file emptied to nothing is written and closed.
    auto writeOver = [&path](const QByteArray &bytes) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite) && file.write(bytes) == bytes.size() &&
                file.resize(bytes.size()));
    };
    for (bool readFirst : {false, true}) {
        for (qsizetype cut = 0; cut <= anew.size(); ++cut) {
            writeOver(log);
            QStringList records;
            modMain::LogFollower follower = importAndFollow(path, &records);
            if (readFirst)
                QVERIFY(follower.readAppended().status == modMain::FollowStatus::Read);
            writeOver(anew.first(cut));
            const modMain::FollowRead read = follower.readAppended();
            const modMain::FollowStatus expected =
                cut < log.size() ? modMain::FollowStatus::Shrunk : modMain::FollowStatus::Rewritten;
            QVERIFY2(
                read.status == expected && read.records.isEmpty() && !read.dropsLast,
                qPrintable(QStringLiteral("rewrite cut at %1 of %2, read first: %3, status %4, %5 records")
                               .arg(cut)
                               .arg(anew.size())
                               .arg(readFirst)
                               .arg(int(read.status))
                               .arg(read.records.size())));
        }
    }
}

void tst_Follow::largeGrowthComesInPieces()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("client_chat_log_a.txt"));
    writeFile(path, kHeader + tellLines(QStringLiteral("Orrik"), 1));
    QStringList records;
    modMain::LogFollower follower = importAndFollow(path, &records);
    const int lines = 200'000; // 20 MB, more than one read takes
    appendBytes(path, tellLines(QStringLiteral("Orrik"), lines, 100, 1));
    modMain::FollowRead read = follower.readAppended();
    QVERIFY(read.more);
    qsizetype total = read.records.size();
    QVERIFY(total < lines);
    int reads = 1;
    while (read.more && reads < 10) {
        read = follower.readAppended();
        total += read.records.size();
        ++reads;
    }
    QVERIFY(!read.more);
    QCOMPARE(total, lines);
}

// The log's last record is the only one of the last of several logs joined: dropping it leaves the
// records and names of the others, and what comes next is added after them.
void tst_Follow::droppedRecordEndsItsPart()
{
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("client_chat_log_a.txt"));
    const QString b = dir.filePath(QStringLiteral("client_chat_log_b.txt"));
    writeFile(a, kHeader + tellLines(QStringLiteral("Orrik"), 3) +
                     "[06/14/2005 21:03:19] [Trade: Veyla] caf\xE9\r\n");
    writeFile(b, kHeader + "[06/14/2005 21:04:00] Brannoc tel");
    modMain::LoadedChatLog log = modMain::LoadChatLog(a).log;
    log.append(modMain::LoadChatLog(b).log);
    QCOMPARE(log.ChatNames, QStringList({QStringLiteral("Orrik"), QStringLiteral("Trade"), kPublic()}));

    modMain::FollowRead read;
    read.dropsLast = true;
    read.records = {modMain::ParseChatLine(QStringLiteral("[06/14/2005 21:04:00] Brannoc tells you: \u0142")),
                    modMain::ParseChatLine(QStringLiteral("[06/14/2005 21:04:01] [Trade: Veyla] again"))};
    const modMain::FollowedNames names = modMain::appendFollowed(log, read);
    QCOMPARE(names.dropped, kPublic());
    QCOMPARE(names.added, QStringList{QStringLiteral("Brannoc")});
    QCOMPARE(log.ChatNames,
             QStringList({QStringLiteral("Orrik"), QStringLiteral("Trade"), QStringLiteral("Brannoc")}));
    QStringList expected = recordsOf(modMain::LoadChatLog(a).log.ChatLog);
    expected += recordsOf(read.records);
    QCOMPARE(recordsOf(log.ChatLog), expected);
    QCOMPARE(log.ChatLog.size(), expected.size());
    QCOMPARE(recordText(log.ChatLog.at(4)), expected[4]);
    QCOMPARE(modMain::BuildChatText(log.ChatLog, {QStringLiteral("Trade"), QStringLiteral("Brannoc")}, {}),
             QStringLiteral(
                 " [Trade: Veyla] caf\u00E9\r\n Brannoc tells you: \u0142\r\n [Trade: Veyla] again\r\n"));

    // A dropped record whose chat has others takes no name with it.
    read.records = {
        modMain::ParseChatLine(QStringLiteral("[06/14/2005 21:04:01] [Trade: Veyla] again and more"))};
    const modMain::FollowedNames same = modMain::appendFollowed(log, read);
    QVERIFY(same.dropped.isNull());
    QVERIFY(same.added.isEmpty());
    QCOMPARE(log.ChatLog.size(), expected.size());
    QCOMPARE(log.ChatLog.last().Text, QStringLiteral(" [Trade: Veyla] again and more"));

    // The name that went with a dropped record comes back with its chat's next line.
    read.dropsLast = false;
    read.records = {modMain::ParseChatLine(QStringLiteral("[06/14/2005 21:04:02] hello"))};
    QCOMPARE(modMain::appendFollowed(log, read).added, QStringList{kPublic()});
    QCOMPARE(modMain::appendFollowed(log, read).added, QStringList());
    QCOMPARE(log.ChatNames, QStringList({QStringLiteral("Orrik"), QStringLiteral("Trade"),
                                         QStringLiteral("Brannoc"), kPublic()}));
}

void tst_Follow::menuItemAndTitle()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")), kHeader + tellLines("Orrik", 3));
    WindowDriver r;
    auto *follow = r.get<QAction>("mnuOptionsFollowLog");
    QVERIFY(follow->isCheckable());
    QVERIFY(!follow->isChecked());
    QVERIFY(!follow->isEnabled());
    QCOMPARE(follow->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
    QTest::keyClick(&r.window, Qt::Key_L, Qt::ControlModifier);
    QVERIFY(!follow->isChecked()); // nothing imported yet

    r.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    QVERIFY(follow->isEnabled());
    QVERIFY(!follow->isChecked());
    const QString status =
        QStringLiteral("client_chat_log_a.txt  \u00B7  3 lines, 1 chat  \u00B7  windows-1252");
    QCOMPARE(r.get<QLabel>("lblLogStatus")->text(), status);
    QTest::keyClick(&r.window, Qt::Key_L, Qt::ControlModifier);
    QVERIFY(follow->isChecked());
    QCOMPARE(r.window.windowTitle(),
             QStringLiteral("client_chat_log_a.txt (following) - Evenfall Chat Log Reader"));
    QCOMPARE(r.get<QLabel>("lblLogStatus")->text(), status + QStringLiteral("  \u00B7  Following"));
    QTest::keyClick(&r.window, Qt::Key_L, Qt::ControlModifier);
    QVERIFY(!follow->isChecked());
    QCOMPARE(r.window.windowTitle(), QStringLiteral("client_chat_log_a.txt - Evenfall Chat Log Reader"));
    QCOMPARE(r.get<QLabel>("lblLogStatus")->text(), status);
}

void tst_Follow::appendedLinesShowAsTheyCome()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("client_chat_log_a.txt"));
    writeFile(path,
              kHeader + "[06/14/2005 21:03:17] Orrik tells you: one\r\n[06/14/2005 21:03:18] Veyla: x\r\n");
    WindowDriver r;
    r.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    QVERIFY(r.clickChat(QStringLiteral("Orrik")));
    r.get<QAction>("mnuOptionsFollowLog")->trigger();

    // Pieces as a game writes them: a line of another chat, a line cut in two, two lines at once.
    const QList<QByteArray> pieces = {"[06/14/2005 21:03:19] Veyla: y\r\n[06/14/2005 21:03:20] Orrik tel",
                                      "ls you: two\r",
                                      "\n[06/14/2005 21:03:21] Orrik tells you: three\r\n"
                                      "[06/14/2005 21:03:22] Orrik tells you: four\r\n"};
    const QStringList expected = {QStringLiteral(" Orrik tells you: one"),
                                  QStringLiteral(" Orrik tells you: one"),
                                  QStringLiteral(" Orrik tells you: one\r\n Orrik tells you: two"),
                                  QStringLiteral(" Orrik tells you: one\r\n Orrik tells you: two\r\n"
                                                 " Orrik tells you: three\r\n Orrik tells you: four")};
    QCOMPARE(r.viewText(), expected[0]);
    for (int i = 0; i < pieces.size(); ++i) {
        appendBytes(path, pieces[i]);
        r.window.followLog();
        QCOMPARE(r.viewText(), expected[i + 1]);
    }
    QCOMPARE(r.window.ChatText, modMain::BuildChatText(modMain::LoadChatLog(path).log.ChatLog,
                                                       {QStringLiteral("Orrik")}, r.window.state().options));
    QCOMPARE(recordsOf(r.window.state().log->ChatLog), recordsOf(modMain::LoadChatLog(path).log.ChatLog));

    // The timer reads without being asked.
    appendBytes(path, "[06/14/2005 21:03:23] Orrik tells you: five\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(r.viewText().endsWith(QStringLiteral("five")), 10000);
}

void tst_Follow::newChatIsListedBelowTheOthers()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("client_chat_log_a.txt"));
    writeFile(path, kHeader + thirtyChats());
    WindowDriver r;
    r.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    auto *list = r.get<QListWidget>("lstChatNames");
    QVERIFY(r.clickChat(QStringLiteral("Name12")));
    const int scroll = list->verticalScrollBar()->value();
    QVERIFY(scroll > 0);
    const QStringList before = r.chatRows();

    r.get<QAction>("mnuOptionsFollowLog")->trigger();
    appendBytes(path, tellLines(QStringLiteral("Newcomer"), 1) + tellLines(QStringLiteral("Name03"), 1) +
                          "[06/14/2005 21:03:20] [Trade: Orrik] ore\r\n" +
                          tellLines(QStringLiteral("Newcomer"), 1));
    r.window.followLog();
    QCOMPARE(r.chatRows(), before + QStringList({QStringLiteral("Newcomer"), QStringLiteral("Trade")}));
    QCOMPARE(r.window.state().log->ChatNames, r.chatRows());
    QCOMPARE(list->selectedItems().size(), 1);
    QCOMPARE(list->selectedItems().first()->text(), QStringLiteral("Name12"));
    QCOMPARE(list->verticalScrollBar()->value(), scroll);
}

void tst_Follow::followedChatsKeepTheOrderAndFilter_data()
{
    QTest::addColumn<QString>("order");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("shown");
    QStringList byName;
    for (int i = 0; i < 30; ++i)
        byName.append(QStringLiteral("Name%1").arg(i, 2, 10, QLatin1Char('0')));
    QStringList byLastLine = {"Newcomer", "Trade", "Name03"};
    for (int i = 29; i >= 0; --i) {
        if (i != 3)
            byLastLine.append(byName[i]);
    }
    QTest::newRow("by name") << "Name"
                             << "" << byName + QStringList{"Newcomer", "Trade"};
    QTest::newRow("by last line") << "LastLine"
                                  << "" << byLastLine;
    QTest::newRow("filtered, in order of appearance") << "Appearance"
                                                      << "COM" << QStringList{"Newcomer"};
    QTest::newRow("filtered, by name")
        << "Name"
        << "e1" << QStringList{"Name10", "Name11", "Name12", "Name13", "Name14",
                               "Name15", "Name16", "Name17", "Name18", "Name19"};
}

void tst_Follow::followedChatsKeepTheOrderAndFilter()
{
    QFETCH(QString, order);
    QFETCH(QString, filter);
    QFETCH(QStringList, shown);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("client_chat_log_a.txt"));
    writeFile(path, kHeader + thirtyChats());
    WindowDriver r;
    r.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    r.get<QAction>(qPrintable(QStringLiteral("mnuOptions_SortChats_") + order))->trigger();
    QVERIFY(r.clickChat(QStringLiteral("Name12")));
    QTest::keyClicks(r.get<QLineEdit>("txtChatFilter"), filter);
    r.get<QAction>("mnuOptionsFollowLog")->trigger();
    appendBytes(path, tellLines(QStringLiteral("Newcomer"), 1) + tellLines(QStringLiteral("Name03"), 1) +
                          "[06/14/2005 21:03:20] [Trade: Orrik] ore\r\n" +
                          tellLines(QStringLiteral("Newcomer"), 1));
    r.window.followLog();
    auto *list = r.get<QListWidget>("lstChatNames");
    QCOMPARE(r.shownRows("lstChatNames"), shown);
    QCOMPARE(list->count(), 32);
    QCOMPARE(list->selectedItems().size(), 1); // the chat on view stays chosen, in sight or not
    QCOMPARE(list->selectedItems().first()->text(), QStringLiteral("Name12"));
}

void tst_Follow::viewAtTheEndStaysAtTheEnd()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("client_chat_log_a.txt"));
    writeFile(path, kHeader + tellLines(QStringLiteral("Orrik"), 1800)); // a little over two pages
    WindowDriver r;
    r.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    QVERIFY(r.clickChat(QStringLiteral("Orrik")));
    QCOMPARE(r.window.PageCount, 3);
    r.window.mnuEdit_LastPage_Click();
    auto *chat = r.get<QPlainTextEdit>("txtChat");
    QScrollBar *bar = chat->verticalScrollBar();
    QTest::keyClick(chat, Qt::Key_End, Qt::ControlModifier); // scrolls the last line just into sight
    r.get<QAction>("mnuOptionsFollowLog")->trigger();

    // Within the page, then past it: the view follows onto the new last page.
    for (int count : {10, 700}) {
        appendBytes(path, tellLines(QStringLiteral("Orrik"), count, 100, 2000 + count));
        r.window.followLog();
        QCOMPARE(r.window.CurrentPage, r.window.PageCount);
        QCOMPARE(bar->value(), bar->maximum());
        const QString shown = r.viewText();
        QVERIFY(shown.mid(shown.lastIndexOf(u'\n'))
                    .contains(QStringLiteral("line %1 ").arg(2000 + 2 * count - 1)));
        const modMain::PageSpan page = modMain::PageRange(r.window.ChatText, r.window.CurrentPage);
        QCOMPARE(r.viewText(), r.window.ChatText.mid(page.start, page.length));
    }
    QCOMPARE(r.window.PageCount, 4);
    QCOMPARE(r.pageLabel(), QStringLiteral("Page 4 of 4"));
    QVERIFY(r.pagingShown());
    QVERIFY(r.get<QPushButton>("cmdPagePrevious")->isEnabled());
    QVERIFY(!r.get<QPushButton>("cmdPageNext")->isEnabled());
}

void tst_Follow::viewElsewhereStaysPut()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("client_chat_log_a.txt"));
    writeFile(path, kHeader + tellLines(QStringLiteral("Orrik"), 640)); // just under a page
    WindowDriver r;
    r.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    QVERIFY(r.clickChat(QStringLiteral("Orrik")));
    QCOMPARE(r.window.PageCount, 1);
    QVERIFY(!r.pagingShown());
    QScrollBar *bar = r.get<QPlainTextEdit>("txtChat")->verticalScrollBar();
    bar->setValue(bar->maximum() / 2); // the end is out of sight
    const int scroll = bar->value();
    r.get<QAction>("mnuOptionsFollowLog")->trigger();

    // The page grows past its size: a second page comes, the view stays on page 1 where it was.
    appendBytes(path, tellLines(QStringLiteral("Orrik"), 200, 100, 640));
    r.window.followLog();
    QCOMPARE(r.window.PageCount, 2);
    QCOMPARE(r.window.CurrentPage, 1);
    QCOMPARE(bar->value(), scroll);
    const modMain::PageSpan page = modMain::PageRange(r.window.ChatText, 1);
    QCOMPARE(r.viewText(), r.window.ChatText.mid(page.start, page.length));
    QVERIFY(r.pagingShown());
    QCOMPARE(r.pageLabel(), QStringLiteral("Page 1 of 2"));
    QVERIFY(!r.get<QPushButton>("cmdPagePrevious")->isEnabled());
    QVERIFY(r.get<QPushButton>("cmdPageNext")->isEnabled());

    // On page 1 of 2, any growth leaves the page alone.
    const QString shown = r.viewText();
    appendBytes(path, tellLines(QStringLiteral("Orrik"), 5, 100, 840));
    r.window.followLog();
    QCOMPARE(r.viewText(), shown);
    QCOMPARE(bar->value(), scroll);
    QCOMPARE(r.window.CurrentPage, 1);
}

void tst_Follow::cutOrReplacedLogStopsWithABox_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("followFirst"); // Follow Log was on before the change, else turned on after it
    QTest::addColumn<bool>("appendFirst"); // a line was appended and read before the change
    QTest::addColumn<QString>("says");
    QTest::newRow("cut short") << "shrink" << true << true << QStringLiteral("has become shorter");
    QTest::newRow("replaced") << "replace" << true << true
                              << QStringLiteral("has been replaced by another file");
    QTest::newRow("written anew before the first append")
        << "rewrite" << true << false << QStringLiteral("has been written anew");
    QTest::newRow("written anew between the import and Follow on")
        << "rewrite" << false << false << QStringLiteral("has been written anew");
}

void tst_Follow::cutOrReplacedLogStopsWithABox()
{
    QFETCH(QString, change);
    QFETCH(bool, followFirst);
    QFETCH(bool, appendFirst);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("client_chat_log_a.txt"));
    writeFile(path, kHeader + tellLines(QStringLiteral("Orrik"), 5));
    WindowDriver r;
    r.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    QVERIFY(r.clickChat(QStringLiteral("Orrik")));
    auto *follow = r.get<QAction>("mnuOptionsFollowLog");
    if (followFirst)
        follow->trigger();
    if (appendFirst) {
        appendBytes(path, tellLines(QStringLiteral("Veyla"), 1));
        r.window.followLog();
    }
    const QString view = r.viewText();
    const QStringList rows = r.chatRows();
    QCOMPARE(rows.size(), appendFirst ? 2 : 1);

    if (change == u"replace") {
        const QString other = dir.filePath(QStringLiteral("new.txt"));
        writeFile(other, kHeader + tellLines(QStringLiteral("Orrik"), 50));
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::rename(other, path));
    } else if (change == u"shrink") {
        QVERIFY(QFile::resize(path, kHeader.size()));
    } else { // a new session in the same file, longer than the old, the same chat in it
        writeFile(path, "Chat log for Veyla started 06/14/2005 22:10:00\r\n" +
                            tellLines(QStringLiteral("Orrik"), 50, 100, 100));
    }
    MessageSeen seen;
    {
        ModalAnswer answer(acceptMessage(&seen), isMessageBox());
        if (followFirst)
            r.window.followLog();
        else
            follow->trigger();
    }
    QCOMPARE(seen.count, 1);
    QCOMPARE(seen.icon, QMessageBox::Warning);
    QCOMPARE(seen.title, QStringLiteral("Evenfall Chat Log Reader"));
    QVERIFY2(seen.text.contains(says) && seen.text.contains(QStringLiteral("stopped")),
             qPrintable(seen.text));
    QVERIFY(!follow->isChecked());
    QVERIFY(!follow->isEnabled());
    QVERIFY(!r.window.windowTitle().contains(QStringLiteral("following")));
    QCOMPARE(r.viewText(), view);
    QCOMPARE(r.chatRows(), rows);
    QCOMPARE(r.window.state().log->ChatLog.size(), appendFirst ? 6 : 5);

    // The next import can be followed again.
    writeFile(path, kHeader + tellLines(QStringLiteral("Orrik"), 5));
    r.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    QVERIFY(follow->isEnabled());
}

void tst_Follow::importTurnsFollowingOff()
{
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("client_chat_log_a.txt"));
    writeFile(a, kHeader + tellLines(QStringLiteral("Orrik"), 2));
    writeFile(dir.filePath(QStringLiteral("client_chat_log_b.txt")),
              kHeader + tellLines(QStringLiteral("Veyla"), 2));
    WindowDriver r;
    r.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    auto *follow = r.get<QAction>("mnuOptionsFollowLog");
    follow->trigger();
    QVERIFY(follow->isChecked());
    r.import(dir.path(), QStringLiteral("client_chat_log_b.txt"));
    QVERIFY(!follow->isChecked());
    QVERIFY(follow->isEnabled());
    QCOMPARE(r.window.windowTitle(), QStringLiteral("client_chat_log_b.txt - Evenfall Chat Log Reader"));
    // What the first log gains is no longer read.
    appendBytes(a, tellLines(QStringLiteral("Newcomer"), 1));
    r.window.followLog();
    QCOMPARE(r.chatRows(), QStringList{QStringLiteral("Veyla")});

    // Following the new log starts where its import ended.
    appendBytes(dir.filePath(QStringLiteral("client_chat_log_b.txt")),
                tellLines(QStringLiteral("Veyla"), 1, 100, 2));
    follow->trigger();
    QCOMPARE(r.window.state().log->ChatLog.size(), 3);
}

void tst_Follow::failedImportKeepsFollowing()
{
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("client_chat_log_a.txt"));
    writeFile(a, kHeader + tellLines(QStringLiteral("Orrik"), 2));
    writeFile(dir.filePath(QStringLiteral("client_chat_log_b.txt")), kHeader); // no records
    WindowDriver r;
    r.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    QVERIFY(r.clickChat(QStringLiteral("Orrik")));
    auto *follow = r.get<QAction>("mnuOptionsFollowLog");
    follow->trigger();
    MessageSeen seen;
    {
        ModalAnswer answer(acceptMessage(&seen), isMessageBox());
        r.import(dir.path(), QStringLiteral("client_chat_log_b.txt"));
    }
    QCOMPARE(seen.count, 1);
    QVERIFY(follow->isChecked());
    QVERIFY(r.window.windowTitle().contains(QStringLiteral("client_chat_log_a.txt (following)")));
    appendBytes(a, tellLines(QStringLiteral("Orrik"), 1, 100, 2));
    r.window.followLog();
    QVERIFY(r.viewText().endsWith(tellLines(QStringLiteral("Orrik"), 1, 100, 2).mid(21).trimmed()));
}

void tst_Follow::allLogsOfAFolderAreNotFollowed()
{
    QTemporaryDir dir;
    const QString b = dir.filePath(QStringLiteral("client_chat_log_b.txt"));
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")),
              kHeader + tellLines(QStringLiteral("Orrik"), 2));
    writeFile(b, kHeader + tellLines(QStringLiteral("Veyla"), 2));
    WindowDriver r;
    r.import(dir.path(), QStringLiteral("client_chat_log_b.txt"));
    auto *follow = r.get<QAction>("mnuOptionsFollowLog");
    follow->trigger();
    r.openAllLogs(dir.path());
    QVERIFY(!follow->isChecked());
    QVERIFY(!follow->isEnabled());
    QCOMPARE(r.window.windowTitle(),
             QStringLiteral("2 logs in %1 - Evenfall Chat Log Reader").arg(QDir(dir.path()).dirName()));
    QTest::keyClick(&r.window, Qt::Key_L, Qt::ControlModifier);
    QVERIFY(!follow->isChecked());
    appendBytes(b, tellLines(QStringLiteral("Newcomer"), 1));
    r.window.followLog();
    QCOMPARE(r.chatRows(), QStringList({QStringLiteral("Orrik"), QStringLiteral("Veyla")}));
    QCOMPARE(r.window.state().log->ChatLog.size(), 4);
}

void tst_Follow::unfinishedLastLineOfTheImportGoesOn_data()
{
    QTest::addColumn<QByteArray>("imported");
    QTest::addColumn<QStringList>("rowsBefore");
    QTest::newRow("the chat on view")
        << QByteArray("[06/14/2005 21:03:18] Orrik tells you: tw") << QStringList{QStringLiteral("Orrik")};
    QTest::newRow("another chat, its only line")
        << QByteArray("[06/14/2005 21:03:18] Orrik tel")
        << QStringList{QStringLiteral("Orrik"), QStringLiteral("Public/Global")};
}

// The import took a last line whose end was not written yet; the game goes on writing it. The record
// it made is replaced, in the log, the list of chats and the text on view.
void tst_Follow::unfinishedLastLineOfTheImportGoesOn()
{
    QFETCH(QByteArray, imported);
    QFETCH(QStringList, rowsBefore);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("client_chat_log_a.txt"));
    const QByteArray whole =
        kHeader + "[06/14/2005 21:03:17] Orrik tells you: one\r\n" +
        "[06/14/2005 21:03:18] Orrik tells you: two\r\n[06/14/2005 21:03:19] Veyla: x\r\n";
    writeFile(path, whole.first(whole.indexOf("[06/14/2005 21:03:18]")) + imported);
    WindowDriver r;
    r.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    QCOMPARE(r.chatRows(), rowsBefore);
    QVERIFY(r.clickChat(QStringLiteral("Orrik")));
    r.get<QAction>("mnuOptionsFollowLog")->trigger();

    writeFile(path, whole);
    r.window.followLog();
    const modMain::LoadResult loaded = modMain::LoadChatLog(path);
    QCOMPARE(recordsOf(r.window.state().log->ChatLog), recordsOf(loaded.log.ChatLog));
    QCOMPARE(r.chatRows(), loaded.log.ChatNames);
    QCOMPARE(r.window.state().log->ChatNames, loaded.log.ChatNames);
    QCOMPARE(r.window.ChatText,
             modMain::BuildChatText(loaded.log.ChatLog, {QStringLiteral("Orrik")}, r.window.state().options));
    QCOMPARE(r.viewText(), QStringLiteral(" Orrik tells you: one\r\n Orrik tells you: two"));
}

// A chat text built on a worker reads the log: while one may, what is appended waits in the file.
void tst_Follow::readWaitsWhileAWorkerReadsTheLog()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("client_chat_log_a.txt"));
    // Enough records for a chat text to be built on a worker.
    writeFile(path, kHeader + tellLines(QStringLiteral("Orrik"), 30000, 60) +
                        tellLines(QStringLiteral("Veyla"), 30000, 60));
    WindowDriver r;
    r.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    QVERIFY(r.clickChat(QStringLiteral("Orrik")));
    r.window.mnuEdit_LastPage_Click();
    r.get<QAction>("mnuOptionsFollowLog")->trigger();
    const QByteArray added = tellLines(QStringLiteral("Orrik"), 1, 60, 30000);
    {
        PoolBlocker blocker;
        auto *list = r.get<QListWidget>("lstChatNames");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
        QVERIFY(r.window.isBusy());
        appendBytes(path, added);
        r.window.followLog();
        QCOMPARE(r.window.state().log->ChatLog.size(), 60000);

        // Cancelled: the window forgets the text, but its worker has yet to run and read the log.
        QProgressDialog *progress = nullptr;
        QTRY_VERIFY((progress = r.window.findChild<QProgressDialog *>()) && progress->isVisible());
        QTest::mouseClick(progress->findChild<QPushButton *>(), Qt::LeftButton);
        QVERIFY(!r.window.isBusy());
        QCOMPARE(r.window.SelectedChats, QStringList{QStringLiteral("Orrik")});
        r.window.followLog();
        QCOMPARE(r.window.state().log->ChatLog.size(), 60000);
    }
    // Once the worker is done, the poll reads what waited.
    QTRY_COMPARE(r.window.state().log->ChatLog.size(), 60001);
    QVERIFY(r.viewText().endsWith(QString::fromLatin1(added.mid(21).trimmed())));
    QCOMPARE(r.window.ChatText, modMain::BuildChatText(modMain::LoadChatLog(path).log.ChatLog,
                                                       {QStringLiteral("Orrik")}, r.window.state().options));
}

QTEST_MAIN(tst_Follow)
#include "tst_follow.moc"

// The main window while it works on a worker thread: an import or a long chat text can be cancelled
// without a trace, a second import waits its turn, a newer choice of chat replaces an older one, and
// closing the window in the middle is safe. Also opening all logs of a folder at once.

#include <QDir>
#include <QListWidget>
#include <QMenu>
#include <QProgressDialog>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <functional>
#include <utility>

#include "ChatLogFolder.h"
#include "RecentLogs.h"
#include "WindowDriver.h"

namespace {

const QByteArray kHeader = "Chat log for Veyla started 06/14/2005 21:00:03\r\n";

QByteArray logOf(const QByteArray &partner, int lines = 1)
{
    QByteArray log = kHeader;
    for (int i = 0; i < lines; ++i)
        log += "[06/14/2005 21:03:17] " + partner + " tells you: line " + QByteArray::number(i) + "\r\n";
    return log;
}

// The progress dialog on screen, or nullptr.
QProgressDialog *shownProgress(WindowDriver &w)
{
    for (auto *dialog : w.window.findChildren<QProgressDialog *>())
        if (dialog->isVisible())
            return dialog;
    return nullptr;
}

// Clicks Cancel in the progress dialog, as a user does.
void clickCancel(QProgressDialog *dialog)
{
    QTest::mouseClick(dialog->findChild<QPushButton *>(), Qt::LeftButton);
}

// The window as far as a user sees it.
QString snapshot(WindowDriver &w)
{
    return QStringList{w.window.windowTitle(),
                       w.folderBox()->text(),
                       w.fileCombo()->currentText(),
                       w.chatRows().join(u','),
                       w.mergedRows().join(u','),
                       w.view(),
                       w.window.SelectedChats.join(u','),
                       w.window.state().logPath}
        .join(u'|');
}

// A click on the Import button that does not wait for the import.
void clickImportAndGo(WindowDriver &w)
{
    QTest::mouseClick(w.get<QPushButton>("cmdImportFile"), Qt::LeftButton);
}

void clickRowAndGo(WindowDriver &w, const char *list, int row)
{
    auto *widget = w.get<QListWidget>(list);
    QListWidgetItem *item = widget->item(row);
    QTest::mouseClick(widget->viewport(), Qt::LeftButton, {}, widget->visualItemRect(item).center());
}

// A log large enough that its chat text is built on a worker thread: two chats of many lines.
QByteArray largeLog()
{
    QByteArray log = kHeader;
    for (int i = 0; i < 30000; ++i) {
        log += "[06/14/2005 21:03:17] Orrik tells you: line " + QByteArray::number(i) + "\r\n";
        log += "[06/14/2005 21:03:18] [Trade: Brannoc] ore " + QByteArray::number(i) + "\r\n";
    }
    return log;
}

} // namespace

class tst_WindowWork : public QObject {
    Q_OBJECT
private slots:
    void init() { recentlogs::save({}); }
    void cancelledImportLeavesEverythingAsItWas();
    void secondImportIsRefusedWhileOneRuns();
    void longListOfChatsFillsOverTurns();
    void closingDuringAnImport();
    void largeChatTextComesFromAWorker();
    void newerChoiceOfChatWins();
    void cancelledChatTextKeepsTheView();
    void openAllLogsJoinsTheSessionsInOrder();
    void openAllLogsFailsWhole();
    void openAllLogsInAFolderWithout();
    void loadingSeveralLogs();
};

void tst_WindowWork::cancelledImportLeavesEverythingAsItWas()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")), logOf("Orrik"));
    writeFile(dir.filePath(QStringLiteral("client_chat_log_b.txt")), logOf("Veyla"));
    WindowDriver w;
    w.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    w.merge({QStringLiteral("Orrik")});
    QVERIFY(w.clickChat(QStringLiteral("Orrik")));
    w.fileCombo()->setEditText(QStringLiteral("client_chat_log_b.txt"));
    const QString before = snapshot(w);
    const auto log = w.window.state().log;

    MessageSeen seen;
    ModalAnswer noMessage(acceptMessage(&seen), isMessageBox());
    PoolBlocker blocker;
    clickImportAndGo(w);
    QVERIFY(w.window.isBusy());
    QTRY_VERIFY(shownProgress(w)); // once the work has taken long enough
    QVERIFY2(shownProgress(w)->labelText().contains(QLatin1String("client_chat_log_b.txt")),
             qPrintable(shownProgress(w)->labelText()));
    clickCancel(shownProgress(w));
    QVERIFY(!shownProgress(w));
    blocker.release();
    w.waitUntilIdle();
    QCOMPARE(snapshot(w), before);
    QCOMPARE(w.window.state().log, log);
    QCOMPARE(seen.count, 0);
    QCOMPARE(recentlogs::load().size(), 1);
    // The window goes on as before, and imports again.
    w.click("cmdImportFile");
    QCOMPARE(w.chatRows(), QStringList{QStringLiteral("Veyla")});
}

void tst_WindowWork::secondImportIsRefusedWhileOneRuns()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")), logOf("Orrik"));
    writeFile(dir.filePath(QStringLiteral("client_chat_log_b.txt")), logOf("Veyla"));
    writeFile(dir.filePath(QStringLiteral("client_chat_log_c.txt")), logOf("Brannoc"));
    WindowDriver w;
    w.import(dir.path(), QStringLiteral("client_chat_log_c.txt"));
    {
        PoolBlocker blocker;
        w.chooseLog(dir.path(), QStringLiteral("client_chat_log_a.txt"));
        clickImportAndGo(w);
        QVERIFY(!shownProgress(w));
        // Every way to start another import is answered by the progress of the running one.
        w.fileCombo()->setEditText(QStringLiteral("client_chat_log_b.txt"));
        clickImportAndGo(w);
        QVERIFY(shownProgress(w));
        shownProgress(w)->hide();
        w.window.openLog(dir.filePath(QStringLiteral("client_chat_log_b.txt")));
        QVERIFY(shownProgress(w));
        QCOMPARE(w.fileCombo()->currentText(),
                 QStringLiteral("client_chat_log_b.txt")); // as the user left it
        w.window.openAllLogs(dir.path());
        w.get<QMenu>("mnuFile_RecentLogs")->actions().at(0)->trigger();
        QVERIFY(w.window.isBusy());
    }
    w.waitUntilIdle();
    QCOMPARE(w.chatRows(), QStringList{QStringLiteral("Orrik")});
    QCOMPARE(w.window.windowTitle(), QStringLiteral("client_chat_log_a.txt - Evenfall Chat Log Reader"));
    QVERIFY(!shownProgress(w));
    QVERIFY(!w.window.isBusy());
}

void tst_WindowWork::longListOfChatsFillsOverTurns()
{
    // More chats than the list takes in one turn of the event loop.
    QTemporaryDir dir;
    QByteArray many = kHeader;
    QStringList names;
    for (int i = 0; i < 45000; ++i) {
        names.append(QStringLiteral("Chatter%1").arg(i));
        many += "[06/14/2005 21:03:17] " + names.last().toLatin1() + " tells you: hi\r\n";
    }
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")), many);
    writeFile(dir.filePath(QStringLiteral("client_chat_log_b.txt")), logOf("Orrik"));
    WindowDriver w;
    w.import(dir.path(), QStringLiteral("client_chat_log_b.txt"));
    auto *list = w.get<QListWidget>("lstChatNames");
    int partial = 0;    // turns that ended with some of the rows in
    bool early = false; // whether the window took the log in before its last row
    bool orrikWhileFilling = false;
    std::function<void()> meanwhile;
    connect(list->model(), &QAbstractItemModel::rowsInserted, this, [&] {
        if (list->count() == names.size())
            return;
        ++partial;
        early = early || !w.window.isBusy() || w.window.state().log->ChatNames.size() == names.size();
        orrikWhileFilling =
            orrikWhileFilling || w.window.state().log->ChatNames == QStringList{QStringLiteral("Orrik")};
        if (meanwhile)
            QMetaObject::invokeMethod(this, std::exchange(meanwhile, nullptr), Qt::QueuedConnection);
    });
    w.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    QVERIFY(partial > 0);
    QVERIFY(!early);
    QVERIFY(orrikWhileFilling);
    QCOMPARE(w.chatRows(), names);
    QCOMPARE(w.window.state().log->ChatNames, names);
    QCOMPARE(w.window.windowTitle(), QStringLiteral("client_chat_log_a.txt - Evenfall Chat Log Reader"));

    // An import started while the rows come in wins, with no row of the other left.
    meanwhile = [&] { w.window.openLog(dir.filePath(QStringLiteral("client_chat_log_b.txt"))); };
    w.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    w.waitUntilIdle();
    QVERIFY(!meanwhile);
    QCOMPARE(w.chatRows(), QStringList{QStringLiteral("Orrik")});
    QCOMPARE(w.window.state().log->ChatNames, QStringList{QStringLiteral("Orrik")});
    QCOMPARE(w.window.windowTitle(), QStringLiteral("client_chat_log_b.txt - Evenfall Chat Log Reader"));
}

void tst_WindowWork::closingDuringAnImport()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")), logOf("Orrik"));
    PoolBlocker blocker;
    {
        WindowDriver w;
        w.chooseLog(dir.path(), QStringLiteral("client_chat_log_a.txt"));
        clickImportAndGo(w);
        QTRY_VERIFY(shownProgress(w));
    } // the window goes while its import waits for a thread
    blocker.release();
    frmMain::workerPool()->waitForDone();
    WindowDriver next; // and the program goes on
    next.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    QCOMPARE(next.chatRows(), QStringList{QStringLiteral("Orrik")});
}

void tst_WindowWork::largeChatTextComesFromAWorker()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")), largeLog());
    WindowDriver w;
    w.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    const modMain::LoadResult loaded =
        modMain::LoadChatLog(dir.filePath(QStringLiteral("client_chat_log_a.txt")));
    PoolBlocker blocker;
    clickRowAndGo(w, "lstChatNames", 0);
    QVERIFY(w.window.isBusy());
    QVERIFY(w.view().isEmpty()); // nothing half-built is on view
    blocker.release();
    w.waitUntilIdle();
    const QString expected = modMain::BuildChatText(loaded.log.ChatLog, {QStringLiteral("Orrik")}, {});
    QCOMPARE(w.window.ChatText, expected);
    QCOMPARE(w.window.PageCount, int(modMain::PageCount(expected)));
    QVERIFY(w.pagingShown());
    QCOMPARE(w.pageLabel(), QStringLiteral("Page 1 of %1").arg(w.window.PageCount));
}

void tst_WindowWork::newerChoiceOfChatWins()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")), largeLog());
    WindowDriver w;
    w.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    {
        PoolBlocker blocker;
        clickRowAndGo(w, "lstChatNames", 0); // Orrik
        clickRowAndGo(w, "lstChatNames", 1); // Trade, asked for last
    }
    w.waitUntilIdle();
    QCOMPARE(w.window.SelectedChats, QStringList{QStringLiteral("Trade")});
    QVERIFY(w.view().startsWith(QLatin1String(" [Trade: Brannoc] ore 0\n")));
    // An option changed while a chat is being built applies to the chat asked for.
    {
        PoolBlocker blocker;
        clickRowAndGo(w, "lstChatNames", 0);
        w.get<QAction>("mnuOptionsShowTimestamp")->trigger();
    }
    w.waitUntilIdle();
    QCOMPARE(w.window.SelectedChats, QStringList{QStringLiteral("Orrik")});
    QVERIFY(w.view().startsWith(QLatin1String("[06/14/2005 21:03:17] Orrik tells you: line 0\n")));
}

void tst_WindowWork::cancelledChatTextKeepsTheView()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")), largeLog());
    WindowDriver w;
    w.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    QVERIFY(w.clickChat(QStringLiteral("Orrik")));
    w.click("cmdPageNext");
    const QString view = w.view();
    const QString text = w.window.ChatText;
    PoolBlocker blocker;
    clickRowAndGo(w, "lstChatNames", 1);
    w.get<QAction>("mnuOptionsShowTimestamp")->trigger();
    QTRY_VERIFY(shownProgress(w));
    clickCancel(shownProgress(w));
    QVERIFY(!w.window.isBusy());
    blocker.release();
    frmMain::workerPool()->waitForDone();
    QCoreApplication::processEvents();
    // The chat, the options and the page on view are those from before.
    QCOMPARE(w.window.SelectedChats, QStringList{QStringLiteral("Orrik")});
    QVERIFY(!w.window.state().options.ShowTimestamp);
    QVERIFY(!w.get<QAction>("mnuOptionsShowTimestamp")->isChecked());
    QCOMPARE(w.window.ChatText, text);
    QCOMPARE(w.window.CurrentPage, 2);
    QCOMPARE(w.view(), view);
}

void tst_WindowWork::openAllLogsJoinsTheSessionsInOrder()
{
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkdir(QStringLiteral("Logs")));
    const QString folder = root.filePath(QStringLiteral("Logs"));
    // Written out of order; the names give the order of the sessions, their case aside.
    writeFile(folder + QStringLiteral("/CLIENT_CHAT_LOG_2005-06-15_10-00-00.TXT"),
              kHeader + "[06/15/2005 10:00:01] Veyla tells you: second\r\n"
                        "[06/15/2005 10:00:02] Orrik tells you: third\r\n");
    writeFile(folder + QStringLiteral("/client_chat_log_2005-06-14_21-00-00.txt"),
              kHeader + "[06/14/2005 21:00:01] Orrik tells you: first\r\n");
    writeFile(folder + QStringLiteral("/client_chat_log_2005-06-16_09-00-00.txt"), kHeader); // no chat
    writeFile(folder + QStringLiteral("/notes.txt"),
              kHeader + "[06/14/2005 21:00:01] Nobody tells you: x\r\n");
    // A name that is not valid UTF-8 ("café" in Latin-1) is no reason to leave a log out.
    const QString cafe = folder + QStringLiteral("/client_chat_log_2005-06-17_caf\u00E9.txt");
    writeFile(cafe, kHeader + "[06/17/2005 09:00:01] Orrik tells you: fourth\r\n");
#ifdef Q_OS_UNIX
    const QByteArray latin1 = QFile::encodeName(folder) + "/client_chat_log_2005-06-17_caf\xE9.txt";
    QCOMPARE(std::rename(QFile::encodeName(cafe).constData(), latin1.constData()), 0);
    const auto removeLatin1 = qScopeGuard([&] { std::remove(latin1.constData()); }); // Qt cannot name it
#endif
    WindowDriver w;
    w.openAllLogs(folder);
    QCOMPARE(w.chatRows(), (QStringList{QStringLiteral("Orrik"), QStringLiteral("Veyla")}));
    QCOMPARE(w.window.windowTitle(), QStringLiteral("4 logs in Logs - Evenfall Chat Log Reader"));
    QVERIFY(w.clickChat(QStringLiteral("Orrik")));
    QCOMPARE(w.view(),
             QStringLiteral(" Orrik tells you: first\n Orrik tells you: third\n Orrik tells you: fourth"));
    w.merge({QStringLiteral("Orrik"), QStringLiteral("Veyla")});
    w.clickRow("lstMergedChatNames", 0);
    QCOMPARE(w.view(), QStringLiteral(" Orrik tells you: first\n Veyla tells you: second\n Orrik tells you: "
                                      "third\n Orrik tells you: fourth"));
    QVERIFY(recentlogs::load().isEmpty()); // Recent Logs lists files
    QCOMPARE(w.window.state().logFiles.size(), 4);

    // One log: said so.
    QTemporaryDir single;
    writeFile(single.filePath(QStringLiteral("client_chat_log_a.txt")), logOf("Brannoc"));
    w.openAllLogs(single.path());
    QCOMPARE(w.chatRows(), QStringList{QStringLiteral("Brannoc")});
    QCOMPARE(w.window.windowTitle(),
             QStringLiteral("1 log in %1 - Evenfall Chat Log Reader").arg(QDir(single.path()).dirName()));
    QVERIFY(w.view().isEmpty()); // the merged chat on view went with the logs it was of
}

void tst_WindowWork::openAllLogsFailsWhole()
{
    QTemporaryDir dir;
    for (const char *name : {"client_chat_log_1.txt", "client_chat_log_2.txt", "client_chat_log_3.txt"})
        writeFile(dir.filePath(QLatin1String(name)), logOf(name));
    writeFile(dir.filePath(QStringLiteral("client_chat_log_0.txt")), logOf("Orrik"));
    WindowDriver w;
    w.import(dir.path(), QStringLiteral("client_chat_log_0.txt"));
    const QString before = snapshot(w);
    MessageSeen seen;
    {
        ModalAnswer answer(acceptMessage(&seen), isMessageBox());
        PoolBlocker blocker;
        w.folderBox()->setText(dir.path());
        w.get<QAction>("mnuFile_OpenAllLogs")->trigger();
        // Gone between the listing and its turn to be read.
        QVERIFY(QFile::remove(dir.filePath(QStringLiteral("client_chat_log_2.txt"))));
        blocker.release();
        w.waitUntilIdle();
    }
    QCOMPARE(seen.count, 1);
    QCOMPARE(seen.title, QStringLiteral("Error"));
    QVERIFY2(seen.text.startsWith(
                 QStringLiteral("Cannot read file %1:\n")
                     .arg(QDir::toNativeSeparators(dir.filePath(QStringLiteral("client_chat_log_2.txt"))))),
             qPrintable(seen.text));
    QCOMPARE(snapshot(w), before);
}

void tst_WindowWork::openAllLogsInAFolderWithout()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("notes.txt")), logOf("Orrik"));
    QTemporaryDir empty;
    QTemporaryDir logs;
    writeFile(logs.filePath(QStringLiteral("client_chat_log_a.txt")), logOf("Veyla"));
    WindowDriver w;
    w.import(logs.path(), QStringLiteral("client_chat_log_a.txt"));
    const QString title = w.window.windowTitle();
    for (const QString &folder : {dir.path(), dir.filePath(QStringLiteral("gone"))}) {
        MessageSeen seen;
        {
            ModalAnswer answer(acceptMessage(&seen), isMessageBox());
            w.window.openAllLogs(folder);
        }
        QCOMPARE(seen.count, 1);
        QVERIFY2(seen.text.contains(folder), qPrintable(seen.text));
        QCOMPARE(w.chatRows(), QStringList{QStringLiteral("Veyla")});
        QCOMPARE(w.window.windowTitle(), title);
        QVERIFY(!w.window.isBusy());
    }
}

void tst_WindowWork::loadingSeveralLogs()
{
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.txt"));
    const QString b = dir.filePath(QStringLiteral("b.txt"));
    const QString empty = dir.filePath(QStringLiteral("empty.txt"));
    writeFile(a, kHeader + "[06/14/2005 21:00:01] [Trade: Orrik] ore\r\n[06/14/2005 21:00:02] Veyla: hi\r\n");
    writeFile(b, kHeader +
                     "[06/15/2005 21:00:01] Brannoc tells you: yo\r\n[06/15/2005 21:00:02] [Trade: X] y\r\n");
    writeFile(empty, kHeader);

    // The same records as one file made of both, the names in order of first appearance.
    QString failed;
    const modMain::LoadResult joined = modMain::loadChatLogs({a, empty, b}, {}, &failed);
    QCOMPARE(joined.status, modMain::LoadStatus::Loaded);
    QVERIFY(failed.isEmpty());
    QCOMPARE(joined.log.ChatNames,
             (QStringList{QStringLiteral("Trade"), modMain::kPublicChatName, QStringLiteral("Brannoc")}));
    QCOMPARE(joined.log.ChatLog.size(), 4);
    QCOMPARE(joined.log.ChatLog[3].Text, QStringLiteral(" [Trade: X] y"));
    QCOMPARE(modMain::loadChatLogs({empty, empty}).status, modMain::LoadStatus::NoLines);
    // Many small logs, read several at once, join in their order all the same.
    QStringList many, manyNames;
    for (int i = 0; i < 64; ++i) {
        many.append(dir.filePath(QStringLiteral("m%1.txt").arg(i)));
        manyNames.append(QStringLiteral("Chatter%1").arg(i));
        writeFile(many.last(), logOf(manyNames.last().toLatin1(), i % 3));
    }
    for (int i = 0; i < 64; i += 3)
        manyNames.removeOne(QStringLiteral("Chatter%1").arg(i)); // no lines: no chat
    QCOMPARE(modMain::loadChatLogs(many).log.ChatNames, manyNames);

    // Progress runs over all files, up to their whole size.
    qint64 last = 0, total = 0;
    modMain::LoadOptions options;
    options.readSize = 16;
    options.progress = [&](qint64 done, qint64 of) {
        QVERIFY(done >= last);
        last = done;
        total = of;
    };
    QCOMPARE(modMain::loadChatLogs({a, b}, options).status, modMain::LoadStatus::Loaded);
    QCOMPARE(total, QFileInfo(a).size() + QFileInfo(b).size());
    QCOMPARE(last, total);

    // The first file that fails fails all, and is named; a cancel before the end gives nothing.
    const QString gone = dir.filePath(QStringLiteral("gone.txt"));
    const modMain::LoadResult missing = modMain::loadChatLogs({a, gone, b}, {}, &failed);
    QCOMPARE(missing.status, modMain::LoadStatus::FileError);
    QCOMPARE(failed, gone);
    QVERIFY(missing.log.ChatLog.isEmpty() && missing.log.ChatNames.isEmpty());
    std::atomic<bool> cancel{false};
    modMain::LoadOptions cancelling;
    cancelling.cancel = &cancel;
    cancelling.progress = [&](qint64 done, qint64) { cancel = done > QFileInfo(a).size(); };
    cancelling.readSize = 8;
    const modMain::LoadResult cancelled = modMain::loadChatLogs({a, b}, cancelling);
    QCOMPARE(cancelled.status, modMain::LoadStatus::Cancelled);
    QVERIFY(cancelled.log.ChatLog.isEmpty());
}

QTEST_MAIN(tst_WindowWork)
#include "tst_windowwork.moc"

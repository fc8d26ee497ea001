#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include "WindowDriver.h"

namespace {

const QByteArray kLog = "header\r\n[06/14/2005 21:03:17] Orrik tells you: hi\r\n";

QStringList items(QComboBox *combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items.append(combo->itemText(i));
    return items;
}

// A Wine prefix whose registry names the game's folder, with logs in its Logs and Logs_Old folders.
struct WinePrefix {
    QTemporaryDir dir;
    QByteArray previous = qgetenv("WINEPREFIX");

    explicit WinePrefix(const QByteArray &gameKeyBlock)
    {
        qputenv("WINEPREFIX", dir.path().toLocal8Bit());
        writeFile(dir.filePath(QStringLiteral("system.reg")),
                  "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n" +
                      gameKeyBlock);
        QDir(dir.path()).mkpath(QStringLiteral("drive_c/Games/Evenfall/Logs"));
        QDir(dir.path()).mkpath(QStringLiteral("drive_c/Games/Evenfall/Logs_Old"));
        writeFile(dir.filePath(QStringLiteral("drive_c/Games/Evenfall/Logs/client_chat_log_new.txt")), kLog);
        writeFile(dir.filePath(QStringLiteral("drive_c/Games/Evenfall/Logs_Old/client_chat_log_old1.txt")),
                  kLog);
        writeFile(dir.filePath(QStringLiteral("drive_c/Games/Evenfall/Logs_Old/client_chat_log_old2.txt")),
                  kLog);
    }
    ~WinePrefix()
    {
        if (previous.isNull())
            qunsetenv("WINEPREFIX");
        else
            qputenv("WINEPREFIX", previous);
    }
};

} // namespace

class tst_FileChoice : public QObject {
    Q_OBJECT
private slots:
    void typingAFolderListsItsLogs();
    void missingFolderIsReportedAndComboKept();
    void typingCharacterByCharacter();
    void browsingToAnotherFolder();
    void browsingToTheSameFolderRefreshes();
    void cancellingBrowse();
    void browsedFolderThatVanished();
    void logsButtons_data();
    void logsButtons();
};

void tst_FileChoice::typingAFolderListsItsLogs()
{
    QTemporaryDir several, none;
    for (const char *name :
         {"client_chat_log_3.txt", "client_chat_log_1.txt", "client_chat_log_2.txt", "client_chat_log_.txt",
          "client_chat_log_1.log", "other.txt", "Client_Chat_Log_9.txt"})
        writeFile(several.filePath(QLatin1String(name)), kLog);
    QDir(several.path()).mkdir(QStringLiteral("client_chat_log_dir.txt"));
    WindowDriver w(false);
    w.folderBox()->setText(several.path());
    const QStringList expected = {
        QStringLiteral("client_chat_log_.txt"), QStringLiteral("client_chat_log_1.txt"),
        QStringLiteral("client_chat_log_2.txt"), QStringLiteral("client_chat_log_3.txt")};
#ifdef Q_OS_WIN
    QVERIFY(items(w.fileCombo()).contains(QStringLiteral("Client_Chat_Log_9.txt")));
#else
    QCOMPARE(items(w.fileCombo()), expected);
#endif
    QCOMPARE(w.fileCombo()->currentText(), QStringLiteral("client_chat_log_.txt"));

    w.folderBox()->setText(none.path());
    QCOMPARE(w.fileCombo()->count(), 0);
    QCOMPARE(w.fileCombo()->currentText(), QString());
}

void tst_FileChoice::missingFolderIsReportedAndComboKept()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("client_chat_log_1.txt")), kLog);
    WindowDriver w(false);
    w.folderBox()->setText(dir.path());
    const QString missing = dir.filePath(QStringLiteral("nowhere"));
    MessageSeen seen;
    {
        ModalAnswer answer(acceptMessage(&seen));
        w.folderBox()->setText(missing);
        QTRY_COMPARE(seen.count, 1); // once typing has paused
    }
    QCOMPARE(seen.count, 1);
    QCOMPARE(seen.icon, QMessageBox::Critical);
    QCOMPARE(seen.title, QStringLiteral("Error Number: 76"));
    QVERIFY2(seen.text.endsWith(QStringLiteral(" occured during txtFileLocation_Change")),
             qPrintable(seen.text));
    QVERIFY2(seen.text.contains(missing), qPrintable(seen.text));
    QCOMPARE(w.folderBox()->text(), missing);
    QCOMPARE(items(w.fileCombo()), QStringList{QStringLiteral("client_chat_log_1.txt")});
    QCOMPARE(w.fileCombo()->currentText(), QStringLiteral("client_chat_log_1.txt"));

    // A plain file is no folder either.
    MessageSeen again;
    {
        ModalAnswer answer(acceptMessage(&again));
        w.folderBox()->setText(dir.filePath(QStringLiteral("client_chat_log_1.txt")));
        QTRY_COMPARE(again.count, 1);
    }
    QCOMPARE(again.count, 1);
}

void tst_FileChoice::typingCharacterByCharacter()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("logs")));
    writeFile(dir.filePath(QStringLiteral("logs/client_chat_log_1.txt")), kLog);
    WindowDriver w(false);
    w.folderBox()->setText(dir.path() + u'/');
    w.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    w.folderBox()->setFocus();
    w.folderBox()->end(false);
    // "l", "lo", "log" do not exist; "logs" does. Typing raises no box; a pause, Enter or leaving the box
    // looks at the text once, and a folder that exists is taken at once.
    int messages = 0;
    {
        MessageSeen seen;
        ModalAnswer answer(acceptMessage(&seen));
        QTest::keyClicks(w.folderBox(), QStringLiteral("log"));
        QCOMPARE(seen.count, 0);
        QTRY_COMPARE(seen.count, 1);
        messages += seen.count;
    }
    {
        MessageSeen seen;
        ModalAnswer answer(acceptMessage(&seen));
        QTest::keyClick(w.folderBox(), Qt::Key_Return);
        QCOMPARE(seen.count, 0); // the same text again
        QTest::keyClick(w.folderBox(), Qt::Key_Backspace);
        QTest::keyClick(w.folderBox(), Qt::Key_Return);
        messages += seen.count;
    }
    {
        MessageSeen seen;
        ModalAnswer answer(acceptMessage(&seen));
        QTest::keyClicks(w.folderBox(), QStringLiteral("gs"));
        QCOMPARE(w.fileCombo()->currentText(), QStringLiteral("client_chat_log_1.txt"));
        QCOMPARE(seen.count, 0);
        QTest::keyClicks(w.folderBox(), QStringLiteral("/x"));
        w.window.activateWindow(); // back from the last box
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        w.get<QPushButton>("cmdImportFile")->setFocus(); // leaving the box
        QCOMPARE(seen.count, 1);
        messages += seen.count;
    }
    QCOMPARE(messages, 3);
    QCOMPARE(w.fileCombo()->currentText(), QStringLiteral("client_chat_log_1.txt"));
}

void tst_FileChoice::browsingToAnotherFolder()
{
    QTemporaryDir first, second;
    writeFile(first.filePath(QStringLiteral("client_chat_log_a.txt")), kLog);
    writeFile(second.filePath(QStringLiteral("client_chat_log_x.txt")), kLog);
    writeFile(second.filePath(QStringLiteral("client_chat_log_y.txt")), kLog);
    writeFile(second.filePath(QStringLiteral("notes.txt")), kLog);
    WindowDriver w(false);
    w.folderBox()->setText(first.path());
    {
        ModalAnswer answer([&](QWidget *modal) {
            chooseInFileDialog(modal, second.filePath(QStringLiteral("client_chat_log_y.txt")));
        });
        w.click("cmdBrowsPath");
    }
    QCOMPARE(w.folderBox()->text(), QDir::toNativeSeparators(second.path()) + QDir::separator());
    QCOMPARE(items(w.fileCombo()),
             QStringList({QStringLiteral("client_chat_log_x.txt"), QStringLiteral("client_chat_log_y.txt")}));
    QCOMPARE(w.fileCombo()->currentText(), QStringLiteral("client_chat_log_y.txt"));

    // "All Files" lets a file of another name be chosen; it becomes the combo's text all the same.
    {
        ModalAnswer answer([&](QWidget *modal) {
            qobject_cast<QFileDialog *>(modal)->selectNameFilter(QStringLiteral("All Files (*.*) (*.*)"));
            chooseInFileDialog(modal, second.filePath(QStringLiteral("notes.txt")));
        });
        w.click("cmdBrowsPath");
    }
    QCOMPARE(w.fileCombo()->currentText(), QStringLiteral("notes.txt"));
    QCOMPARE(w.fileCombo()->count(), 2);
}

void tst_FileChoice::browsingToTheSameFolderRefreshes()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")), kLog);
    WindowDriver w(false);
    const QString shown = QDir::toNativeSeparators(dir.path()) + QDir::separator();
    w.folderBox()->setText(shown);
    writeFile(dir.filePath(QStringLiteral("client_chat_log_b.txt")), kLog); // arrives after the listing
    {
        ModalAnswer answer([&](QWidget *modal) {
            chooseInFileDialog(modal, dir.filePath(QStringLiteral("client_chat_log_b.txt")));
        });
        w.click("cmdBrowsPath");
    }
    QCOMPARE(w.folderBox()->text(), shown);
    QCOMPARE(items(w.fileCombo()),
             QStringList({QStringLiteral("client_chat_log_a.txt"), QStringLiteral("client_chat_log_b.txt")}));
    QCOMPARE(w.fileCombo()->currentText(), QStringLiteral("client_chat_log_b.txt"));
}

void tst_FileChoice::cancellingBrowse()
{
    QTemporaryDir dir, other;
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")), kLog);
    writeFile(dir.filePath(QStringLiteral("client_chat_log_b.txt")), kLog);
    WindowDriver w(false);
    w.folderBox()->setText(dir.path());

    // Before any choice, a cancelled dialog leaves an empty folder and an empty combo, quietly.
    MessageSeen seen;
    {
        ModalAnswer cancel(cancelDialog, isFileDialog());
        ModalAnswer noMessage(acceptMessage(&seen), isMessageBox());
        w.click("cmdBrowsPath");
    }
    QCOMPARE(seen.count, 0);
    QCOMPARE(w.folderBox()->text(), QString());
    QCOMPARE(w.fileCombo()->count(), 0);

    {
        ModalAnswer answer([&](QWidget *modal) {
            chooseInFileDialog(modal, dir.filePath(QStringLiteral("client_chat_log_b.txt")));
        });
        w.click("cmdBrowsPath");
    }
    w.folderBox()->setText(other.path());
    QCOMPARE(w.fileCombo()->count(), 0);
    {
        ModalAnswer cancel(cancelDialog, isFileDialog());
        ModalAnswer noMessage(acceptMessage(&seen), isMessageBox());
        w.click("cmdBrowsPath");
    }
    QCOMPARE(seen.count, 0);
    QCOMPARE(w.folderBox()->text(), QDir::toNativeSeparators(dir.path()) + QDir::separator());
    QCOMPARE(w.fileCombo()->count(), 2);
    QCOMPARE(w.fileCombo()->currentText(), QStringLiteral("client_chat_log_b.txt"));
}

void tst_FileChoice::browsedFolderThatVanished()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("logs"));
    QVERIFY(QDir().mkpath(folder));
    writeFile(folder + QStringLiteral("/client_chat_log_a.txt"), kLog);
    WindowDriver w(false);
    {
        ModalAnswer answer([&](QWidget *modal) {
            chooseInFileDialog(modal, folder + QStringLiteral("/client_chat_log_a.txt"));
        });
        w.click("cmdBrowsPath");
    }
    QVERIFY(QDir(folder).removeRecursively());
    // Cancelling now hands back the earlier choice, whose folder is gone; the folder box already shows
    // it, so only the browse's own refresh meets the missing folder.
    MessageSeen seen;
    {
        ModalAnswer cancel(cancelDialog, isFileDialog());
        ModalAnswer message(acceptMessage(&seen), isMessageBox());
        w.click("cmdBrowsPath");
    }
    QCOMPARE(seen.count, 1);
    QCOMPARE(seen.title, QStringLiteral("Error Number: 76"));
    QVERIFY2(seen.text.endsWith(QStringLiteral(" occured during cmdBrowsPath_Click")), qPrintable(seen.text));
    QCOMPARE(w.fileCombo()->currentText(), QStringLiteral("client_chat_log_a.txt"));
}

void tst_FileChoice::logsButtons_data()
{
    QTest::addColumn<QByteArray>("keyBlock");
    QTest::addColumn<QString>("logsFolder");
    QTest::addColumn<QStringList>("logs");
    QTest::addColumn<QString>("oldFolder");
    QTest::addColumn<QStringList>("oldLogs");

    const QStringList logs = {QStringLiteral("client_chat_log_new.txt")};
    const QStringList old = {QStringLiteral("client_chat_log_old1.txt"),
                             QStringLiteral("client_chat_log_old2.txt")};
    QTest::newRow("no trailing backslash")
        << QByteArray("[Software\\\\KestrelGames\\\\Evenfall] 1700000000\n@=\"C:\\\\Games\\\\Evenfall\"\n")
        << "C:\\Games\\Evenfall\\Logs\\" << logs << "C:\\Games\\Evenfall\\Logs_Old\\" << old;
    QTest::newRow("trailing backslash doubles")
        << QByteArray(
               "[Software\\\\KestrelGames\\\\Evenfall] 1700000000\n@=\"C:\\\\Games\\\\Evenfall\\\\\"\n")
        << "C:\\Games\\Evenfall\\\\Logs\\" << logs << "C:\\Games\\Evenfall\\\\Logs_Old\\" << old;
    QTest::newRow("no key") << QByteArray("[Software\\\\KestrelGames\\\\Other] 1700000000\n@=\"C:\\\\x\"\n")
                            << QString() << QStringList() << QString() << QStringList();
}

void tst_FileChoice::logsButtons()
{
    QFETCH(QByteArray, keyBlock);
    QFETCH(QString, logsFolder);
    QFETCH(QStringList, logs);
    QFETCH(QString, oldFolder);
    QFETCH(QStringList, oldLogs);
#ifdef Q_OS_WIN
    QSKIP("reads a Wine prefix's hive; on Windows the buttons read the system's registry, which "
          "scripts/test-windows.sh sets before it clicks Logs");
#endif

    QTemporaryDir start;
    writeFile(start.filePath(QStringLiteral("client_chat_log_here.txt")), kLog);
    WinePrefix prefix(keyBlock);
    WindowDriver w(false);
    w.folderBox()->setText(start.path());
    const bool hasKey = !logsFolder.isEmpty();

    MessageSeen seen;
    ModalAnswer noMessage(acceptMessage(&seen));
    w.click("cmdChangeDirToLogs");
    QCOMPARE(w.folderBox()->text(), hasKey ? logsFolder : start.path());
    QCOMPARE(w.window.statusBar()->currentMessage(),
             hasKey ? QString()
                    : QStringLiteral("No Evenfall installation was found in the Wine prefix ") +
                          qEnvironmentVariable("WINEPREFIX"));
    QCOMPARE(items(w.fileCombo()), hasKey ? logs : QStringList{QStringLiteral("client_chat_log_here.txt")});
    w.click("cmdChangeDirToLogs_Old");
    QCOMPARE(w.folderBox()->text(), hasKey ? oldFolder : start.path());
    QCOMPARE(items(w.fileCombo()),
             hasKey ? oldLogs : QStringList{QStringLiteral("client_chat_log_here.txt")});
    QCOMPARE(seen.count, 0);

#ifndef Q_OS_WIN
    // The folder stays as the registry has it, and the log is opened inside the prefix.
    if (hasKey) {
        w.click("cmdImportFile");
        QCOMPARE(seen.count, 0);
        QCOMPARE(w.window.state().log->ChatNames, QStringList{QStringLiteral("Orrik")});
    }
#endif
}

QTEST_MAIN(tst_FileChoice)
#include "tst_filechoice.moc"

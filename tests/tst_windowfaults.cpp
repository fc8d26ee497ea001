// The main window facing what a careful program must survive: names of things that are not log files,
// a log too large for the memory it can get, and a save that would replace the log on view.

#include <QAbstractButton>
#include <QDir>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

#include "ChildProcess.h"
#include "WindowDriver.h"
#include "modMain.h"

namespace {

const QByteArray kLog = "Chat log for Veyla started 06/14/2005 21:00:03\r\n"
                        "[06/14/2005 21:00:10] [Trade: Orrik] selling ore\r\n"
                        "[06/14/2005 21:00:20] Orrik tells you: hi\r\n";

// Imports fileName from folder and returns what the message box said (empty when none came up).
QString importAnswered(WindowDriver &w, const QString &folder, const QString &fileName)
{
    MessageSeen seen;
    {
        ModalAnswer answer(acceptMessage(&seen), isMessageBox());
        w.import(folder, fileName);
    }
    return seen.count == 1 && seen.title == QLatin1String("Error") && seen.icon == QMessageBox::Warning
               ? seen.text
               : QString();
}

// Saves the text on view to path; answers the question about replacing the loaded log, if one comes,
// with answer. Returns whether the question came.
bool saveAnswering(WindowDriver &w, const QString &path, QMessageBox::StandardButton answer)
{
    bool asked = false;
    ModalAnswer file([&](QWidget *modal) { chooseInFileDialog(modal, path); }, isFileDialog());
    ModalAnswer question(
        [&](QWidget *modal) {
            auto *box = static_cast<QMessageBox *>(modal);
            asked = box->standardButtons() == (QMessageBox::Yes | QMessageBox::No) &&
                    box->defaultButton() == box->button(QMessageBox::No) &&
                    box->text().contains(QDir::toNativeSeparators(path));
            box->button(answer)->click();
        },
        isMessageBox());
    w.click("cmdSaveLogToFile");
    return asked;
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class tst_WindowFaults : public QObject {
    Q_OBJECT
private slots:
    void importReadsOnlyRegularFiles();
    void saveOntoTheLoadedLogAsksFirst();
    void saveToAFifoWithoutReaderFailsAtOnce();
    void notEnoughMemoryKeepsTheLoadedLog();
};

void tst_WindowFaults::importReadsOnlyRegularFiles()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")), kLog);
    WindowDriver w;
    QCOMPARE(importAnswered(w, dir.path(), QStringLiteral("client_chat_log_a.txt")), QString());
    const QStringList loaded = w.chatRows();
    QCOMPARE(loaded.size(), 2);

    QStringList others = {QStringLiteral("sub")};
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
#ifdef Q_OS_UNIX
    // A FIFO that nobody writes would have hung the window in its open.
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("fifo"))).constData(), 0600), 0);
    others.append(QStringLiteral("fifo"));
    if (::mknod(QFile::encodeName(dir.filePath(QStringLiteral("null"))).constData(), S_IFCHR | 0600,
                makedev(1, 3)) == 0)
        others.append(QStringLiteral("null"));
#endif
    for (const QString &name : std::as_const(others)) {
        // Named as the window joins the folder and the file's name.
        const QString path = modMain::AddTrailingBackslash(dir.path()) + name;
        QCOMPARE(importAnswered(w, dir.path(), name),
                 QStringLiteral("Cannot read file %1:\nnot a regular file.").arg(path));
        QCOMPARE(w.chatRows(), loaded);
    }
}

void tst_WindowFaults::saveOntoTheLoadedLogAsksFirst()
{
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("client_chat_log_a.txt"));
    writeFile(log, kLog);
    WindowDriver w;
    w.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    w.clickRow("lstChatNames", 0);
    const QByteArray page = w.viewText().toLatin1() + "\r\n";

    // No: nothing is written, by whatever name the log is chosen. (On Windows QFile::link makes a
    // shortcut, not a link, and a hard link is not yet recognised there: see tst_cli.)
    QStringList names = {log};
#ifdef Q_OS_UNIX
    const QString link = dir.filePath(QStringLiteral("link.txt"));
    QVERIFY(QFile::link(log, link));
    names.append(link);
    const QString hard = dir.filePath(QStringLiteral("hard.txt"));
    QCOMPARE(::link(QFile::encodeName(log).constData(), QFile::encodeName(hard).constData()), 0);
    names.append(hard);
#endif
    for (const QString &name : std::as_const(names)) {
        QVERIFY2(saveAnswering(w, name, QMessageBox::No), qPrintable(name));
        QCOMPARE(contentOf(log), kLog);
    }

    // Another file is written without a question; Yes replaces the log.
    const QString other = dir.filePath(QStringLiteral("other.txt"));
    QVERIFY(!saveAnswering(w, other, QMessageBox::No));
    QCOMPARE(contentOf(other), page);
    QVERIFY(saveAnswering(w, log, QMessageBox::Yes));
    QCOMPARE(contentOf(log), page);
}

void tst_WindowFaults::saveToAFifoWithoutReaderFailsAtOnce()
{
#ifndef Q_OS_UNIX
    QSKIP("FIFOs are Unix file system objects");
#else
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")), kLog);
    const QString fifo = dir.filePath(QStringLiteral("out.fifo"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    WindowDriver w;
    w.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    w.clickRow("lstChatNames", 0);
    MessageSeen seen;
    {
        ModalAnswer file([&](QWidget *modal) { chooseInFileDialog(modal, fifo); }, isFileDialog());
        ModalAnswer message(acceptMessage(&seen), isMessageBox());
        w.click("cmdSaveLogToFile");
    }
    QCOMPARE(seen.count, 1);
    QVERIFY2(
        seen.text.startsWith(QStringLiteral("Cannot write file %1:").arg(QDir::toNativeSeparators(fifo))),
        qPrintable(seen.text));
    struct stat st {};
    QVERIFY(::lstat(QFile::encodeName(fifo).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
#endif
}

void tst_WindowFaults::notEnoughMemoryKeepsTheLoadedLog()
{
    EVENFALL_RUN_IN_CHILD_WITH_LIMITS();
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")), kLog);
    const QString huge = dir.filePath(QStringLiteral("client_chat_log_huge.txt"));
    QVERIFY(childprocess::writeHugeLog(huge));
    WindowDriver w;
    w.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    w.clickRow("lstChatNames", 0);
    const QStringList loaded = w.chatRows();
    const QString view = w.view();
    QVERIFY(childprocess::limitAddressSpace(qint64(128) << 20));

    QCOMPARE(
        importAnswered(w, dir.path(), QStringLiteral("client_chat_log_huge.txt")),
        QStringLiteral("There is not enough memory to load file %1.").arg(QDir::toNativeSeparators(huge)));
    QCOMPARE(w.chatRows(), loaded);
    QCOMPARE(w.view(), view);
    w.clickRow("lstChatNames", 1);
    QVERIFY(w.view().contains(QStringLiteral("Orrik tells you: hi")));
}

QTEST_MAIN(tst_WindowFaults)
#include "tst_windowfaults.moc"

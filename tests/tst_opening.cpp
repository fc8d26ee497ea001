#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "ReaderCommandLine.h"
#include "RecentLogs.h"
#include "WindowDriver.h"
#include "modMain.h"

namespace {

QByteArray logOf(const QByteArray &partner)
{
    return "header\r\n[06/14/2005 21:03:17] " + partner + " tells you: hi\r\n";
}

// The window as far as a user sees it, to tell that something changed it.
QString snapshot(WindowDriver &w)
{
    return QStringList{w.window.windowTitle(), w.folderBox()->text(), w.fileCombo()->currentText(),
                       w.chatRows().join(u','), w.view()}
        .join(u'|');
}

// What a file manager hands over when files are dragged.
std::unique_ptr<QMimeData> urls(const QList<QUrl> &list)
{
    auto data = std::make_unique<QMimeData>();
    data->setUrls(list);
    return data;
}

// Drags data over target and drops it there if the drag was taken; true when it was.
bool dragAndDrop(QWidget *target, const QMimeData *data)
{
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::LinkAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at, Qt::CopyAction | Qt::LinkAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    if (!enter.isAccepted() || !move.isAccepted())
        return false;
    QDropEvent drop(at, Qt::CopyAction | Qt::LinkAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

QStringList recentEntries(WindowDriver &w)
{
    QStringList entries;
    for (QAction *action : w.get<QMenu>("mnuFile_RecentLogs")->actions())
        entries.append(action->text());
    return entries;
}

} // namespace

class tst_Opening : public QObject {
    Q_OBJECT
private slots:
    void init();
    void commandLine_data();
    void commandLine();
    void programAnswersWithoutAWindow_data();
    void programAnswersWithoutAWindow();
    void fileArgumentOpensTheLog();
    void fileArgumentThatCannotBeRead_data();
    void fileArgumentThatCannotBeRead();
    void titleNamesTheLoadedLog();
    void droppingALogOpensIt();
    void droppingAnythingElseChangesNothing();
    void recentListRule();
    void recentLogsRememberTheLastEight();
    void recentLogThatIsGoneIsReportedAndRemoved();
};

void tst_Opening::init()
{
    recentlogs::save({});
}

void tst_Opening::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("run");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("error");
    const QString program = QStringLiteral("/usr/bin/evenfall-chat-log-reader");
    const QString version = QStringLiteral("Evenfall Chat Log Reader " EVENFALL_VERSION_STRING "\n");
    QTest::newRow("nothing") << QStringList{program} << true << 0 << QString() << QString() << QString();
    QTest::newRow("a file") << QStringList{program, QStringLiteral("logs/a.txt")} << true << 0
                            << QStringLiteral("logs/a.txt") << QString() << QString();
    QTest::newRow("a file after --") << QStringList{program, QStringLiteral("--"), QStringLiteral("-a.txt")}
                                     << true << 0 << QStringLiteral("-a.txt") << QString() << QString();
    QTest::newRow("--version") << QStringList{program, QStringLiteral("--version")} << false << 0 << QString()
                               << version << QString();
    QTest::newRow("-v with a file") << QStringList{program, QStringLiteral("a.txt"), QStringLiteral("-v")}
                                    << false << 0 << QString() << version << QString();
    QTest::newRow("--help") << QStringList{program, QStringLiteral("--help")} << false << 0 << QString()
                            << QStringLiteral("Usage: evenfall-chat-log-reader [options] [file]\n")
                            << QString();
    QTest::newRow("help among Qt's options")
        << QStringList{program, QStringLiteral("-platform"), QStringLiteral("xcb"), QStringLiteral("-h")}
        << false << 0 << QString() << QStringLiteral("Usage: ") << QString();
    QTest::newRow("unknown option") << QStringList{program, QStringLiteral("--bogus")} << false << 2
                                    << QString() << QString()
                                    << QStringLiteral("evenfall-chat-log-reader: Unknown option 'bogus'.");
    QTest::newRow("two files") << QStringList{program, QStringLiteral("a.txt"), QStringLiteral("b.txt")}
                               << false << 2 << QString() << QString()
                               << QStringLiteral("evenfall-chat-log-reader: Too many");
    QTest::newRow("empty name") << QStringList{program, QString()} << false << 2 << QString() << QString()
                                << QStringLiteral("evenfall-chat-log-reader: ");
}

void tst_Opening::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, run);
    QFETCH(int, exitCode);
    QFETCH(QString, file);
    QFETCH(QString, output);
    QFETCH(QString, error);
    const ReaderCommandLine parsed = parseReaderCommandLine(arguments);
    QCOMPARE(parsed.run, run);
    QCOMPARE(parsed.exitCode, exitCode);
    QCOMPARE(parsed.file, file);
    QVERIFY2(output.isEmpty() ? parsed.output.isEmpty() : parsed.output.startsWith(output),
             qPrintable(parsed.output));
    QVERIFY2(error.isEmpty() ? parsed.errorText.isEmpty() : parsed.errorText.startsWith(error),
             qPrintable(parsed.errorText));
    if (!error.isEmpty()) // short, and says where to look
        QVERIFY(parsed.errorText.count(u'\n') <= 2 && parsed.errorText.contains(QLatin1String("--help")));
    if (output.startsWith(QLatin1String("Usage")))
        QVERIFY(parsed.output.contains(QLatin1String("[file]")) &&
                parsed.output.contains(QLatin1String("--version")));
}

void tst_Opening::programAnswersWithoutAWindow_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::addColumn<bool>("error");
    QTest::newRow("--version") << "--version" << 0 << "Evenfall Chat Log Reader " EVENFALL_VERSION_STRING "\n"
                               << false;
    QTest::newRow("--help") << "--help" << 0 << "Usage: " << false;
    QTest::newRow("unknown option") << "--frobnicate" << 2 << "" << true;
}

void tst_Opening::programAnswersWithoutAWindow()
{
    QFETCH(QString, argument);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(bool, error);
    QProcess program;
    if (!error) {
        // Help and version need no display at all.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        program.setProcessEnvironment(environment);
    }
    program.start(QStringLiteral(EVENFALL_READER), {argument});
    // No window: the program ends by itself.
    QVERIFY2(program.waitForFinished(30000), "the program did not end");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), exitCode);
    QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
#ifdef Q_OS_WIN
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n")); // Qt prints in text mode there
#endif
    const QString err = QString::fromLocal8Bit(program.readAllStandardError());
    QVERIFY2(output.isEmpty() ? out.isEmpty() : out.startsWith(output), qPrintable(out));
    QVERIFY2(err.contains(QLatin1String("frobnicate")) == error, qPrintable(err));
}

void tst_Opening::fileArgumentOpensTheLog()
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("old"));
    writeFile(dir.filePath(QStringLiteral("old/client_chat_log_a.txt")), logOf("Orrik"));
    writeFile(dir.filePath(QStringLiteral("old/client_chat_log_b.txt")), logOf("Veyla"));
    // A log renamed by the user is opened too, though the file combo lists only the game's names.
    writeFile(dir.filePath(QStringLiteral("old/saved from the game.txt")), logOf("Brannoc"));
    WindowDriver w;
    const QString before = w.folderBox()->text();
    w.open(dir.filePath(QStringLiteral("old/client_chat_log_b.txt")));
    QCOMPARE(w.folderBox()->text(), QDir::toNativeSeparators(dir.filePath(QStringLiteral("old"))));
    QVERIFY(w.folderBox()->text() != before);
    QCOMPARE(w.fileCombo()->count(), 2);
    QCOMPARE(w.fileCombo()->currentText(), QStringLiteral("client_chat_log_b.txt"));
    QCOMPARE(w.chatRows(), QStringList{QStringLiteral("Veyla")});
    QCOMPARE(w.window.state().logPath, dir.filePath(QStringLiteral("old/client_chat_log_b.txt")));
    QVERIFY(w.get<QWidget>("cmdAddMergedChat")->isEnabled());

    // A relative path is taken from the current folder, as a terminal gives it.
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    w.open(QStringLiteral("old/saved from the game.txt"));
    QDir::setCurrent(cwd);
    QCOMPARE(w.chatRows(), QStringList{QStringLiteral("Brannoc")});
    QCOMPARE(w.fileCombo()->currentText(), QStringLiteral("saved from the game.txt"));
    QCOMPARE(w.window.windowTitle(), QStringLiteral("saved from the game.txt - Evenfall Chat Log Reader"));
}

void tst_Opening::fileArgumentThatCannotBeRead_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing file") << "client_chat_log_gone.txt" << QByteArray() << "Cannot read file ";
    QTest::newRow("missing folder") << "nowhere/client_chat_log_a.txt" << QByteArray() << "Cannot read file ";
    QTest::newRow("no lines") << "client_chat_log_empty.txt" << QByteArray("header\r\n")
                              << "Errors found withing chat log, unable to load.";
}

void tst_Opening::fileArgumentThatCannotBeRead()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")), logOf("Orrik"));
    if (!bytes.isEmpty())
        writeFile(dir.filePath(name), bytes);
    WindowDriver w;
    w.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    MessageSeen seen;
    {
        ModalAnswer answer(acceptMessage(&seen));
        w.open(dir.filePath(name));
    }
    // The boxes of "Import File", only one, and the log loaded before stays.
    QCOMPARE(seen.count, 1);
    QCOMPARE(seen.title, QStringLiteral("Error"));
    QCOMPARE(seen.icon, QMessageBox::Warning);
    QVERIFY2(seen.text.startsWith(message), qPrintable(seen.text));
    QCOMPARE(w.chatRows(), QStringList{QStringLiteral("Orrik")});
    QCOMPARE(w.window.windowTitle(), QStringLiteral("client_chat_log_a.txt - Evenfall Chat Log Reader"));
    // As the window joins the folder and the file's name.
    QCOMPARE(w.window.state().logPath,
             modMain::AddTrailingBackslash(dir.path()) + QStringLiteral("client_chat_log_a.txt"));
}

void tst_Opening::titleNamesTheLoadedLog()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")), logOf("Orrik"));
    writeFile(dir.filePath(QStringLiteral("client_chat_log_b.txt")), "header\r\n");
    WindowDriver w;
    QCOMPARE(w.window.windowTitle(), QStringLiteral("Evenfall Chat Log Reader"));
    MessageSeen seen;
    {
        ModalAnswer answer(acceptMessage(&seen)); // a failed import keeps the title
        w.import(dir.path(), QStringLiteral("client_chat_log_b.txt"));
    }
    QCOMPARE(seen.count, 1);
    QCOMPARE(w.window.windowTitle(), QStringLiteral("Evenfall Chat Log Reader"));
    QVERIFY(w.window.state().logPath.isEmpty());
    w.import(dir.path() + u'/', QStringLiteral("client_chat_log_a.txt"));
    QCOMPARE(w.window.windowTitle(), QStringLiteral("client_chat_log_a.txt - Evenfall Chat Log Reader"));
    QCOMPARE(QFileInfo(w.window.state().logPath),
             QFileInfo(dir.filePath(QStringLiteral("client_chat_log_a.txt"))));
}

void tst_Opening::droppingALogOpensIt()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")), logOf("Orrik"));
    writeFile(dir.filePath(QStringLiteral("client_chat_log_b.txt")), logOf("Veyla"));
    WindowDriver w;
    // Anywhere on the window: a list, the chat box, the folder box.
    const auto a = urls({QUrl::fromLocalFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")))});
    QVERIFY(dragAndDrop(w.get<QListWidget>("lstChatNames")->viewport(), a.get()));
    QTRY_COMPARE(w.chatRows(), QStringList{QStringLiteral("Orrik")});
    QCOMPARE(w.folderBox()->text(), QDir::toNativeSeparators(dir.path()));
    QCOMPARE(w.fileCombo()->currentText(), QStringLiteral("client_chat_log_a.txt"));
    QCOMPARE(w.window.windowTitle(), QStringLiteral("client_chat_log_a.txt - Evenfall Chat Log Reader"));

    const auto b = urls({QUrl::fromLocalFile(dir.filePath(QStringLiteral("client_chat_log_b.txt")))});
    QVERIFY(dragAndDrop(w.get<QPlainTextEdit>("txtChat")->viewport(), b.get()));
    QTRY_COMPARE(w.chatRows(), QStringList{QStringLiteral("Veyla")});
    QVERIFY(w.view().isEmpty()); // the file's name was not dropped into the text
    QVERIFY(dragAndDrop(w.folderBox(), a.get()));
    QTRY_COMPARE(w.chatRows(), QStringList{QStringLiteral("Orrik")});
    QCOMPARE(w.folderBox()->text(), QDir::toNativeSeparators(dir.path()));
}

void tst_Opening::droppingAnythingElseChangesNothing()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")), logOf("Orrik"));
    writeFile(dir.filePath(QStringLiteral("client_chat_log_b.txt")), logOf("Veyla"));
    QDir(dir.path()).mkdir(QStringLiteral("client_chat_log_dir.txt"));
    WindowDriver w;
    w.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    QVERIFY(w.clickChat(QStringLiteral("Orrik")));
    const QString before = snapshot(w);

    const auto two = urls({QUrl::fromLocalFile(dir.filePath(QStringLiteral("client_chat_log_a.txt"))),
                           QUrl::fromLocalFile(dir.filePath(QStringLiteral("client_chat_log_b.txt")))});
    const auto folder = urls({QUrl::fromLocalFile(dir.filePath(QStringLiteral("client_chat_log_dir.txt")))});
    const auto web = urls({QUrl(QStringLiteral("https://example.org/client_chat_log_a.txt"))});
    const auto gone = urls({QUrl::fromLocalFile(dir.filePath(QStringLiteral("client_chat_log_gone.txt")))});
    auto text = std::make_unique<QMimeData>();
    text->setText(dir.filePath(QStringLiteral("client_chat_log_b.txt")));
    bool boxShown = false;
    {
        ModalAnswer answer([&](QWidget *modal) {
            boxShown = true;
            modal->close();
        });
        for (const QMimeData *data : {two.get(), folder.get(), web.get(), gone.get()}) {
            QVERIFY(!dragAndDrop(&w.window, data));
            QVERIFY(!dragAndDrop(w.get<QPlainTextEdit>("txtChat")->viewport(), data));
            QVERIFY(!dragAndDrop(w.folderBox(), data));
        }
        QVERIFY(!dragAndDrop(w.get<QListWidget>("lstChatNames")->viewport(), text.get()));
        QCoreApplication::processEvents();
    }
    QVERIFY(!boxShown);
    QCOMPARE(snapshot(w), before);
}

void tst_Opening::recentListRule()
{
    QTemporaryDir dir;
    auto path = [&](int i) { return dir.filePath(QStringLiteral("client_chat_log_%1.txt").arg(i)); };
    QStringList list;
    for (int i = 0; i < 10; ++i)
        list = recentlogs::withLogFirst(list, path(i));
    QCOMPARE(list.size(), recentlogs::kMaxLogs);
    QCOMPARE(list.first(), path(9));
    QCOMPARE(list.last(), path(2));
    // The same file by another spelling moves to the front rather than being listed twice.
    list = recentlogs::withLogFirst(list, dir.path() + QStringLiteral("/sub/../client_chat_log_5.txt"));
    QCOMPARE(list.size(), recentlogs::kMaxLogs);
    QCOMPARE(list.first(), path(5));
    QCOMPARE(list.count(path(5)), 1);
    QCOMPARE(list[1], path(9));
    list = recentlogs::withoutLog(list, path(9));
    QCOMPARE(list.size(), recentlogs::kMaxLogs - 1);
    QVERIFY(!list.contains(path(9)));

    // Stored and read back; what another program left there is cleaned up on reading.
    recentlogs::save(list);
    QCOMPARE(recentlogs::load(), list);
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("KestrelGames"),
                       QStringLiteral("Evenfall Chat Log Reader"));
    QVERIFY2(settings.fileName().startsWith(temporarySettingsFolder()), qPrintable(settings.fileName()));
    settings.setValue(QStringLiteral("RecentLogs"), QStringList{path(1), QString(), path(2), path(1)});
    settings.sync();
    QCOMPARE(recentlogs::load(), (QStringList{path(1), path(2)}));
}

void tst_Opening::recentLogsRememberTheLastEight()
{
    QTemporaryDir dir;
    auto name = [](int i) { return QStringLiteral("client_chat_log_%1.txt").arg(i); };
    for (int i = 0; i < 9; ++i)
        writeFile(dir.filePath(name(i)), logOf("Partner" + QByteArray::number(i)));
    {
        WindowDriver w;
        QVERIFY(!w.get<QMenu>("mnuFile_RecentLogs")->menuAction()->isEnabled()); // nothing yet
        for (int i = 0; i < 9; ++i)
            w.import(dir.path(), name(i));
        w.import(dir.path(), name(4)); // again: moves up
    }
    // The next run lists them, most recent first, numbered for the keyboard.
    WindowDriver w;
    auto *menu = w.get<QMenu>("mnuFile_RecentLogs");
    QVERIFY(menu->menuAction()->isEnabled());
    const QStringList entries = recentEntries(w);
    QCOMPARE(entries.size(), 8);
    const int order[] = {4, 8, 7, 6, 5, 3, 2, 1};
    for (int i = 0; i < 8; ++i)
        QCOMPARE(entries[i], QStringLiteral("&%1 %2").arg(i + 1).arg(
                                 QDir::toNativeSeparators(dir.filePath(name(order[i])))));

    // Chosen from the menu with the keyboard, as a user would: File, Recent Logs, 3.
    const QString first = w.folderBox()->text();
    QTest::keyClick(&w.window, Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(w.get<QMenu>("mnuFile")->isVisible());
    QTest::keyClick(w.get<QMenu>("mnuFile"), Qt::Key_R);
    QTRY_VERIFY(menu->isVisible());
    QTest::keyClick(menu, Qt::Key_3);
    QTRY_COMPARE(w.chatRows(), QStringList{QStringLiteral("Partner7")});
    QCOMPARE(w.window.windowTitle(), name(7) + QStringLiteral(" - Evenfall Chat Log Reader"));
    QCOMPARE(w.folderBox()->text(), QDir::toNativeSeparators(dir.path()));
    QVERIFY(first != w.folderBox()->text()); // the start-up folder was the current one
    QCOMPARE(w.fileCombo()->currentText(), name(7));
    QVERIFY(recentEntries(w).first().endsWith(name(7)));
}

void tst_Opening::recentLogThatIsGoneIsReportedAndRemoved()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")), logOf("Orrik"));
    writeFile(dir.filePath(QStringLiteral("client_chat_log_b.txt")), logOf("Veyla"));
    WindowDriver w;
    w.import(dir.path(), QStringLiteral("client_chat_log_b.txt"));
    w.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    QVERIFY(w.clickChat(QStringLiteral("Orrik")));
    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("client_chat_log_b.txt"))));
    const QString before = snapshot(w);

    MessageSeen seen;
    {
        ModalAnswer answer(acceptMessage(&seen));
        w.get<QMenu>("mnuFile_RecentLogs")->actions().at(1)->trigger();
    }
    QCOMPARE(seen.count, 1);
    QCOMPARE(seen.title, QStringLiteral("Evenfall Chat Log Reader"));
    QCOMPARE(seen.icon, QMessageBox::Warning);
    QVERIFY2(
        seen.text.contains(QDir::toNativeSeparators(dir.filePath(QStringLiteral("client_chat_log_b.txt")))),
        qPrintable(seen.text));
    QCOMPARE(snapshot(w), before);
    QCOMPARE(recentEntries(w).size(), 1);
    QCOMPARE(recentlogs::load(), QStringList{dir.filePath(QStringLiteral("client_chat_log_a.txt"))});
}

QTEST_MAIN(tst_Opening)
#include "tst_opening.moc"

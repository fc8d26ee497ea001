#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "ChatExport.h"
#include "TextCodec.h"
#include "Twips.h"
#include "WindowDriver.h"

namespace {

// Orrik and Veyla take turns; Trade talks in between; 2000 lines each make a chat of several pages.
QByteArray alternatingLog(int rounds)
{
    QByteArray bytes = "header\r\n";
    for (int i = 0; i < rounds; ++i) {
        const QByteArray n = QByteArray::number(i);
        bytes +=
            "[06/14/2005 21:03:17] Orrik tells you: orrik " + n + " caf\xE9 " + QByteArray(40, 'o') + "\r\n";
        bytes += "[06/14/2005 21:03:18] [Trade: Brannoc] trade " + n + "\r\n";
        bytes += "[06/14/2005 21:03:19] You tell Veyla: veyla " + n + " " + QByteArray(40, 'v') + "\r\n";
    }
    return bytes;
}

// The main window with a log of its own imported.
class Window : public WindowDriver {
public:
    explicit Window(const QByteArray &log)
    {
        writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")), log);
        import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    }

    QTemporaryDir dir;
};

QRect twipsOf(QWidget *w)
{
    const QRect r = w->geometry();
    return QRect(int(twips::fromPixels(r.x())), int(twips::fromPixels(r.y())),
                 int(twips::fromPixels(r.width())), int(twips::fromPixels(r.height())));
}

} // namespace

class tst_WindowActions : public QObject {
    Q_OBJECT
private slots:
    void mergedChatsShowInterleaved();
    void cancelledMergeLeavesList();
    void clickOnMergedListWithoutEntryIsIgnored();
    void copyTakesThePageOnView();
    void savePageNothingAndOverExisting();
    void saveToUnwritablePathIsReported();
    void exportChatWritesEveryPage_data();
    void exportChatWritesEveryPage();
    void resizeMovesOnlyTheViewAndItsFollowers();
    void aboutFromTheMenu();
};

void tst_WindowActions::mergedChatsShowInterleaved()
{
    Window w(alternatingLog(3));
    w.merge({QStringLiteral("Veyla"), QStringLiteral("Orrik")});
    // The dialog lists names in the log's order, so the merge holds them in that order.
    QCOMPARE(w.mergedRows(), QStringList{QStringLiteral("Orrik/Veyla")});
    QCOMPARE(w.window.state().MergedChats.count(), 1);
    w.merge({QStringLiteral("Trade")});
    QCOMPARE(w.mergedRows(), QStringList({QStringLiteral("Orrik/Veyla"), QStringLiteral("Trade")}));

    w.clickRow("lstMergedChatNames", 0);
    const QStringList lines = w.view().split(u'\n');
    QCOMPARE(lines.size(), 6);
    for (int i = 0; i < 6; ++i)
        QVERIFY2(lines[i].startsWith(i % 2 ? QStringLiteral(" You tell Veyla")
                                           : QStringLiteral(" Orrik tells you")),
                 qPrintable(lines[i]));
    w.clickRow("lstMergedChatNames", 1);
    QVERIFY(w.view().startsWith(QStringLiteral(" [Trade: Brannoc] trade 0")));

    // A new import empties the merged list but leaves the merged chat on view until the next click.
    w.click("cmdImportFile");
    QVERIFY(w.mergedRows().isEmpty());
    QVERIFY(w.view().startsWith(QStringLiteral(" [Trade: Brannoc] trade 0")));
    w.merge({QStringLiteral("Orrik")});
    QCOMPARE(w.mergedRows(), QStringList{QStringLiteral("Orrik")});
    QVERIFY(w.window.state().MergedChats.entry(0));
}

void tst_WindowActions::cancelledMergeLeavesList()
{
    Window w(alternatingLog(3));
    w.merge({QStringLiteral("Orrik"), QStringLiteral("Trade")});
    w.merge({QStringLiteral("Veyla")}, false);
    QCOMPARE(w.mergedRows(), QStringList{QStringLiteral("Orrik/Trade")});
    QCOMPARE(w.window.state().MergedChats.count(), 1);
    w.click("cmdClearList");
    QVERIFY(w.mergedRows().isEmpty());
    QCOMPARE(w.window.state().MergedChats.count(), 1);
    QVERIFY(!w.window.state().MergedChats.entry(0));
}

void tst_WindowActions::clickOnMergedListWithoutEntryIsIgnored()
{
    Window w(alternatingLog(3));
    w.clickRow("lstChatNames", 0);
    const QString shown = w.view();
    auto *merged = w.get<QListWidget>("lstMergedChatNames");
    QTest::mouseClick(merged->viewport(), Qt::LeftButton, {}, QPoint(5, 5)); // no row there
    QCOMPARE(w.view(), shown);
}

void tst_WindowActions::copyTakesThePageOnView()
{
    Window w(alternatingLog(2000));
    QApplication::clipboard()->setText(QStringLiteral("old"));
    w.click("cmdCopyToClipboard");
    QCOMPARE(QApplication::clipboard()->text(), QString());

    w.clickRow("lstChatNames", 0);
    QVERIFY(w.window.PageCount > 1);
    w.click("cmdPageNext");
    auto *view = w.get<QPlainTextEdit>("txtChat");
    view->moveCursor(QTextCursor::Start);
    view->insertPlainText(QStringLiteral("edited: "));
    w.click("cmdCopyToClipboard");
    const QString copied = QApplication::clipboard()->text();
    QVERIFY(copied.startsWith(QStringLiteral("edited:  Orrik tells you")));
    QVERIFY(copied.size() < 70000);
#ifdef Q_OS_WIN
    QCOMPARE(copied, view->toPlainText().replace(u'\n', QStringLiteral("\r\n")));
#else
    QCOMPARE(copied, view->toPlainText());
#endif
}

void tst_WindowActions::savePageNothingAndOverExisting()
{
    Window w(alternatingLog(2000));
    const QString target = w.dir.filePath(QStringLiteral("saved"));
    writeFile(target, "previous content that is longer than what comes");

    // Nothing on view: the file holds a line end alone, and replaces the old content without asking.
    {
        ModalAnswer answer([&](QWidget *modal) { chooseInFileDialog(modal, target); });
        w.click("cmdSaveLogToFile");
    }
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("\r\n"));
    file.close();

    w.clickRow("lstChatNames", 0);
    w.click("cmdPageNext");
    {
        ModalAnswer answer([&](QWidget *modal) { chooseInFileDialog(modal, target); });
        w.click("cmdSaveLogToFile");
    }
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();
    const QString page = w.view().replace(u'\n', QStringLiteral("\r\n"));
    QCOMPARE(bytes, page.toLatin1() + "\r\n");
    QVERIFY(bytes.contains(" caf\xE9 "));
    QVERIFY(!QFile::exists(target + QStringLiteral(".txt"))); // the name is used as typed

    // Cancelling writes nothing.
    writeFile(target, "keep");
    {
        ModalAnswer cancel(cancelDialog);
        w.click("cmdSaveLogToFile");
    }
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("keep"));
}

void tst_WindowActions::exportChatWritesEveryPage_data()
{
    QTest::addColumn<int>("type"); // in the dialog's list of types
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    QTest::newRow("text, the type's extension added") << 0 << "chat"
                                                      << "chat.txt";
    QTest::newRow("web page, the type's extension added") << 1 << "chat"
                                                          << "chat.html";
    QTest::newRow("web page named as typed") << 1 << "chat.htm"
                                             << "chat.htm";
}

void tst_WindowActions::exportChatWritesEveryPage()
{
    QFETCH(int, type);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    Window w(alternatingLog(2000));
    auto *exportChat = w.window.findChild<QAction *>(QStringLiteral("mnuFile_ExportChat"));
    QCOMPARE(exportChat->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
    QVERIFY(!exportChat->isEnabled()); // nothing on view
    w.clickRow("lstChatNames", 0);
    w.click("cmdPageNext");
    QVERIFY(exportChat->isEnabled());
    {
        ModalAnswer answer([&](QWidget *modal) {
            auto *types = modal->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
            QVERIFY(types);
            types->setCurrentIndex(type);
            emit types->textActivated(types->currentText()); // as a choice with the mouse
            chooseInFileDialog(modal, w.dir.filePath(typed));
        });
        exportChat->trigger();
        w.waitUntilIdle();
    }
    QFile file(w.dir.filePath(written));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    const QByteArray bytes = file.readAll();
    // The whole chat, not the page on view.
    const QString text = w.window.ChatText;
    QVERIFY(text.size() > w.view().size() * 2);
    QCOMPARE(bytes,
             type == 0 ? modMain::encodeAnsi(text) : modMain::chatPage(text, QStringLiteral("Orrik"), false));
}

void tst_WindowActions::saveToUnwritablePathIsReported()
{
    Window w(alternatingLog(3));
    w.clickRow("lstChatNames", 0);
    const QString target = w.dir.filePath(QStringLiteral("no/such/folder/out.txt"));
    MessageSeen seen;
    {
        ModalAnswer answer([&](QWidget *modal) { chooseInFileDialog(modal, target); }, isFileDialog());
        ModalAnswer message(acceptMessage(&seen), isMessageBox());
        w.click("cmdSaveLogToFile");
    }
    QCOMPARE(seen.count, 1);
    QCOMPARE(seen.title, QStringLiteral("Error"));
    QCOMPARE(seen.icon, QMessageBox::Warning);
    QVERIFY2(seen.text.contains(QDir::toNativeSeparators(target)), qPrintable(seen.text));
    QVERIFY(!QFile::exists(target));
    QVERIFY(w.window.isVisible());
}

void tst_WindowActions::resizeMovesOnlyTheViewAndItsFollowers()
{
    Window w(alternatingLog(3));
    QList<QWidget *> all = w.window.centralWidget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    QMap<QWidget *, QRect> designed;
    for (QWidget *c : all)
        designed[c] = twipsOf(c);
    auto *view = w.get<QWidget>("txtChat");
    // The first layout pass puts the buttons on the view's bottom edge and the label 120 below it.
    QCOMPARE(designed[view], QRect(120, 2880, 9135, 3615));
    for (const char *b : {"cmdCopyToClipboard", "cmdSaveLogToFile", "cmdPageNext", "cmdPagePrevious"})
        QCOMPARE(designed[w.get<QWidget>(b)].y(), 6495);
    QCOMPARE(designed[w.get<QWidget>("lblPageLabel")].y(), 6615);

    const QSize start = w.window.size();
    auto expectShift = [&](int dH, int dW) {
        for (QWidget *c : all) {
            QRect expected = designed[c];
            const QString name = c->objectName();
            if (c == view)
                expected.setSize(
                    QSize(std::max(0, expected.width() + dW), std::max(0, expected.height() + dH)));
            else if (name == u"lblChatLog")
                expected.setWidth(std::max(0, expected.width() + dW));
            else if (name.startsWith(u"cmdCopy") || name.startsWith(u"cmdSave") ||
                     name.startsWith(u"cmdPage") || name == u"lblPageLabel")
                expected.moveTop(expected.y() + std::max(dH, -3615));
            QCOMPARE(twipsOf(c), expected);
        }
    };
    w.window.resize(start + QSize(0, 40)); // 600 twips taller
    QTRY_COMPARE(twipsOf(view).height(), 3615 + 600);
    expectShift(600, 0);
    w.window.resize(start + QSize(20, 40)); // 300 twips wider
    QTRY_COMPARE(twipsOf(view).width(), 9135 + 300);
    expectShift(600, 300);
    // Smaller than the window allows: it stops at its designed width and a chat box of a few lines.
    w.window.resize(QSize(1, 1));
    QTRY_VERIFY(w.window.height() < start.height());
    const int shrunk = (w.window.height() - start.height()) * 15;
    QCOMPARE(w.window.width(), start.width());
    QVERIFY(3615 + shrunk > 0);
    expectShift(shrunk, 0);
    w.window.resize(start);
    QTRY_COMPARE(twipsOf(view), QRect(120, 2880, 9135, 3615));
    expectShift(0, 0);
}

void tst_WindowActions::aboutFromTheMenu()
{
    Window w(alternatingLog(1));
    for (int opening = 0; opening < 2; ++opening) {
        QString version;
        QWidget *owner = nullptr;
        QPoint centre;
        {
            ModalAnswer answer([&](QWidget *modal) {
                QCOMPARE(modal->objectName(), QStringLiteral("frmAbout"));
                version = modal->findChild<QLabel *>(QStringLiteral("lblVersion"))->text();
                owner = modal->parentWidget();
                centre = modal->geometry().center();
                QTest::keyClick(modal, opening ? Qt::Key_Escape : Qt::Key_Return);
            });
            w.get<QAction>("mnuHelp_About")->trigger();
        }
        QCOMPARE(version, QStringLiteral("Version 1.2.3"));
        QCOMPARE(owner, &w.window);
        // Over the window, not at a corner of the screen.
        QVERIFY2((centre - w.window.geometry().center()).manhattanLength() <= 2,
                 qPrintable(QStringLiteral("%1,%2").arg(centre.x()).arg(centre.y())));
        QVERIFY(!w.window.findChild<QWidget *>(QStringLiteral("frmAbout")));
    }
}

QTEST_MAIN(tst_WindowActions)
#include "tst_windowactions.moc"

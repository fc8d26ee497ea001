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

#include "GuiTestHelpers.h"
#include "Twips.h"
#include "frmMain.h"

namespace {

// Orrik and Veyla take turns; Trade talks in between; 2000 lines each make a chat of several pages.
QByteArray AlternatingLog(int rounds)
{
    QByteArray bytes = "header\r\n";
    for (int i = 0; i < rounds; ++i) {
        const QByteArray n = QByteArray::number(i);
        bytes += "[06/14/2005 21:03:17] Orrik tells you: orrik " + n + " caf\xE9 " + QByteArray(40, 'o') + "\r\n";
        bytes += "[06/14/2005 21:03:18] [Trade: Brannoc] trade " + n + "\r\n";
        bytes += "[06/14/2005 21:03:19] You tell Veyla: veyla " + n + " " + QByteArray(40, 'v') + "\r\n";
    }
    return bytes;
}

class Window {
public:
    explicit Window(const QByteArray &log)
    {
        WriteFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")), log);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        Get<QLineEdit>("txtFileLocation")->setText(dir.path());
        Click("cmdImportFile");
    }

    template <typename T> T *Get(const char *name) { return window.findChild<T *>(QLatin1String(name)); }
    void Click(const char *name) { QTest::mouseClick(Get<QPushButton>(name), Qt::LeftButton); }

    void ClickRow(const char *listName, int row)
    {
        auto *list = Get<QListWidget>(listName);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    }

    // Opens the merge dialog from the main window and, inside it, moves names over and applies (or
    // cancels when apply is false).
    void Merge(const QStringList &names, bool apply = true)
    {
        ModalAnswer answer([&](QWidget *modal) {
            auto *left = modal->findChild<QListWidget *>(QStringLiteral("lstChatNames"));
            for (const QString &name : names)
                left->findItems(name, Qt::MatchExactly).first()->setSelected(true);
            QTest::mouseClick(modal->findChild<QPushButton *>(QStringLiteral("cmdAddToMerge")), Qt::LeftButton);
            QTest::mouseClick(modal->findChild<QPushButton *>(apply ? "cmdApply" : "cmdCancel"), Qt::LeftButton);
        });
        Click("cmdAddMergedChat");
    }

    QStringList MergedRows()
    {
        QStringList rows;
        auto *list = Get<QListWidget>("lstMergedChatNames");
        for (int i = 0; i < list->count(); ++i)
            rows.append(list->item(i)->text());
        return rows;
    }

    QString View() { return Get<QPlainTextEdit>("txtChat")->toPlainText(); }

    QTemporaryDir dir;
    frmMain window;
};

QRect TwipsOf(QWidget *w)
{
    const QRect r = w->geometry();
    return QRect(int(twips::FromPixels(r.x())), int(twips::FromPixels(r.y())), int(twips::FromPixels(r.width())),
                 int(twips::FromPixels(r.height())));
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
    void resizeMovesOnlyTheViewAndItsFollowers();
    void aboutFromTheMenu();
};

void tst_WindowActions::mergedChatsShowInterleaved()
{
    Window w(AlternatingLog(3));
    w.Merge({QStringLiteral("Veyla"), QStringLiteral("Orrik")});
    // The dialog lists names in the log's order, so the merge holds them in that order.
    QCOMPARE(w.MergedRows(), QStringList{QStringLiteral("Orrik/Veyla")});
    QCOMPARE(w.window.State().MergedChats.Count(), 1);
    w.Merge({QStringLiteral("Trade")});
    QCOMPARE(w.MergedRows(), QStringList({QStringLiteral("Orrik/Veyla"), QStringLiteral("Trade")}));

    w.ClickRow("lstMergedChatNames", 0);
    const QStringList lines = w.View().split(u'\n');
    QCOMPARE(lines.size(), 6);
    for (int i = 0; i < 6; ++i)
        QVERIFY2(lines[i].startsWith(i % 2 ? QStringLiteral(" You tell Veyla") : QStringLiteral(" Orrik tells you")),
                 qPrintable(lines[i]));
    w.ClickRow("lstMergedChatNames", 1);
    QVERIFY(w.View().startsWith(QStringLiteral(" [Trade: Brannoc] trade 0")));

    // A new import empties the merged list but leaves the merged chat on view until the next click.
    w.Click("cmdImportFile");
    QVERIFY(w.MergedRows().isEmpty());
    QVERIFY(w.View().startsWith(QStringLiteral(" [Trade: Brannoc] trade 0")));
    w.Merge({QStringLiteral("Orrik")});
    QCOMPARE(w.MergedRows(), QStringList{QStringLiteral("Orrik")});
    QVERIFY(w.window.State().MergedChats.Entry(0));
}

void tst_WindowActions::cancelledMergeLeavesList()
{
    Window w(AlternatingLog(3));
    w.Merge({QStringLiteral("Orrik"), QStringLiteral("Trade")});
    w.Merge({QStringLiteral("Veyla")}, false);
    QCOMPARE(w.MergedRows(), QStringList{QStringLiteral("Orrik/Trade")});
    QCOMPARE(w.window.State().MergedChats.Count(), 1);
    w.Click("cmdClearList");
    QVERIFY(w.MergedRows().isEmpty());
    QCOMPARE(w.window.State().MergedChats.Count(), 1);
    QVERIFY(!w.window.State().MergedChats.Entry(0));
}

void tst_WindowActions::clickOnMergedListWithoutEntryIsIgnored()
{
    Window w(AlternatingLog(3));
    w.ClickRow("lstChatNames", 0);
    const QString shown = w.View();
    auto *merged = w.Get<QListWidget>("lstMergedChatNames");
    QTest::mouseClick(merged->viewport(), Qt::LeftButton, {}, QPoint(5, 5)); // no row there
    QCOMPARE(w.View(), shown);
}

void tst_WindowActions::copyTakesThePageOnView()
{
    Window w(AlternatingLog(2000));
    QApplication::clipboard()->setText(QStringLiteral("old"));
    w.Click("cmdCopyToClipboard");
    QCOMPARE(QApplication::clipboard()->text(), QString());

    w.ClickRow("lstChatNames", 0);
    QVERIFY(w.window.PageCount > 1);
    w.Click("cmdPageNext");
    auto *view = w.Get<QPlainTextEdit>("txtChat");
    view->moveCursor(QTextCursor::Start);
    view->insertPlainText(QStringLiteral("edited: "));
    w.Click("cmdCopyToClipboard");
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
    Window w(AlternatingLog(2000));
    const QString target = w.dir.filePath(QStringLiteral("saved"));
    WriteFile(target, "previous content that is longer than what comes");

    // Nothing on view: the file holds a line end alone, and replaces the old content without asking.
    {
        ModalAnswer answer([&](QWidget *modal) { ChooseInFileDialog(modal, target); });
        w.Click("cmdSaveLogToFile");
    }
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("\r\n"));
    file.close();

    w.ClickRow("lstChatNames", 0);
    w.Click("cmdPageNext");
    {
        ModalAnswer answer([&](QWidget *modal) { ChooseInFileDialog(modal, target); });
        w.Click("cmdSaveLogToFile");
    }
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();
    const QString page = w.View().replace(u'\n', QStringLiteral("\r\n"));
    QCOMPARE(bytes, page.toLatin1() + "\r\n");
    QVERIFY(bytes.contains(" caf\xE9 "));
    QVERIFY(!QFile::exists(target + QStringLiteral(".txt"))); // the name is used as typed

    // Cancelling writes nothing.
    WriteFile(target, "keep");
    {
        ModalAnswer cancel(CancelDialog);
        w.Click("cmdSaveLogToFile");
    }
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("keep"));
}

void tst_WindowActions::saveToUnwritablePathIsReported()
{
    Window w(AlternatingLog(3));
    w.ClickRow("lstChatNames", 0);
    const QString target = w.dir.filePath(QStringLiteral("no/such/folder/out.txt"));
    MessageSeen seen;
    {
        ModalAnswer answer([&](QWidget *modal) { ChooseInFileDialog(modal, target); }, IsFileDialog());
        ModalAnswer message(AcceptMessage(&seen), IsMessageBox());
        w.Click("cmdSaveLogToFile");
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
    Window w(AlternatingLog(3));
    QList<QWidget *> all = w.window.centralWidget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    QMap<QWidget *, QRect> designed;
    for (QWidget *c : all)
        designed[c] = TwipsOf(c);
    auto *view = w.Get<QWidget>("txtChat");
    // The first layout pass puts the buttons on the view's bottom edge and the label 120 below it.
    QCOMPARE(designed[view], QRect(120, 2880, 9135, 3615));
    for (const char *b : {"cmdCopyToClipboard", "cmdSaveLogToFile", "cmdPageNext", "cmdPagePrevious"})
        QCOMPARE(designed[w.Get<QWidget>(b)].y(), 6495);
    QCOMPARE(designed[w.Get<QWidget>("lblPageLabel")].y(), 6615);

    const QSize start = w.window.size();
    auto expectShift = [&](int dH, int dW) {
        for (QWidget *c : all) {
            QRect expected = designed[c];
            const QString name = c->objectName();
            if (c == view)
                expected.setSize(QSize(std::max(0, expected.width() + dW), std::max(0, expected.height() + dH)));
            else if (name == u"lblChatLog")
                expected.setWidth(std::max(0, expected.width() + dW));
            else if (name.startsWith(u"cmdCopy") || name.startsWith(u"cmdSave") || name.startsWith(u"cmdPage") ||
                     name == u"lblPageLabel")
                expected.moveTop(expected.y() + std::max(dH, -3615));
            QCOMPARE(TwipsOf(c), expected);
        }
    };
    w.window.resize(start + QSize(0, 40)); // 600 twips taller
    QTRY_COMPARE(TwipsOf(view).height(), 3615 + 600);
    expectShift(600, 0);
    w.window.resize(start + QSize(20, 40)); // 300 twips wider
    QTRY_COMPARE(TwipsOf(view).width(), 9135 + 300);
    expectShift(600, 300);
    w.window.resize(QSize(1, 1)); // smaller than the view allows
    QTRY_VERIFY(w.window.width() < start.width() - 609 && w.window.height() < start.height() - 241);
    QTRY_COMPARE(TwipsOf(view).size(), QSize(0, 0));
    QCOMPARE(TwipsOf(w.Get<QWidget>("cmdSaveLogToFile")).y(), 2880);
    w.window.resize(start);
    QTRY_COMPARE(TwipsOf(view), QRect(120, 2880, 9135, 3615));
    expectShift(0, 0);
}

void tst_WindowActions::aboutFromTheMenu()
{
    Window w(AlternatingLog(1));
    for (int opening = 0; opening < 2; ++opening) {
        QString version;
        QWidget *owner = nullptr;
        {
            ModalAnswer answer([&](QWidget *modal) {
                QCOMPARE(modal->objectName(), QStringLiteral("frmAbout"));
                version = modal->findChild<QLabel *>(QStringLiteral("lblVersion"))->text();
                owner = modal->parentWidget();
                QTest::keyClick(modal, opening ? Qt::Key_Escape : Qt::Key_Return);
            });
            w.Get<QAction>("mnuHelp_About")->trigger();
        }
        QCOMPARE(version, QStringLiteral("Version 1.2.3"));
        QCOMPARE(owner, &w.window);
        QVERIFY(!w.window.findChild<QWidget *>(QStringLiteral("frmAbout")));
    }
}

QTEST_MAIN(tst_WindowActions)
#include "tst_windowactions.moc"

#include <QAction>
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
#include "frmMain.h"

namespace {

const QByteArray kHeader = "Chat log for Veyla started 06/14/2005 21:00:03\r\n";

// Log lines of chat `name` whose assembled lines (text and CR LF, no timestamps) have the given
// lengths. Each is a tell "[stamp] <name> tells you: xxx".
QByteArray TellLines(const QString &name, const QList<int> &lengths, char fill = 'x')
{
    QByteArray bytes;
    int second = 0;
    for (int length : lengths) {
        const QByteArray prefix = " " + name.toLatin1() + " tells you: ";
        const int payload = length - 2 - int(prefix.size());
        Q_ASSERT(payload >= 0);
        bytes += QStringLiteral("[06/14/2005 21:%1:%2]")
                     .arg(second / 60 % 60, 2, 10, QLatin1Char('0'))
                     .arg(second % 60, 2, 10, QLatin1Char('0'))
                     .toLatin1() +
                 prefix + QByteArray(payload, fill) + "\r\n";
        ++second;
    }
    return bytes;
}

QList<int> LinesOf(int total, int each = 100)
{
    QList<int> lengths(total / each, each);
    if (total % each)
        lengths.last() += total % each;
    return lengths;
}

// The text on view, with the line ends the program uses.
QString ViewText(frmMain &window)
{
    return window.findChild<QPlainTextEdit *>(QStringLiteral("txtChat"))->toPlainText().replace(u'\n', QStringLiteral("\r\n"));
}

class Reader {
public:
    Reader()
    {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }

    template <typename T> T *Get(const char *name) { return window.findChild<T *>(QLatin1String(name)); }

    // Points the folder box at dir, picks fileName and imports it.
    void Import(const QString &folder, const QString &fileName)
    {
        Get<QLineEdit>("txtFileLocation")->setText(folder);
        Get<QComboBox>("cmbFileName")->setEditText(fileName);
        QTest::mouseClick(Get<QPushButton>("cmdImportFile"), Qt::LeftButton);
    }

    void ClickChat(const QString &name)
    {
        auto *list = Get<QListWidget>("lstChatNames");
        const QList<QListWidgetItem *> items = list->findItems(name, Qt::MatchExactly);
        QVERIFY2(!items.isEmpty(), qPrintable(name));
        list->scrollToItem(items.first());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(items.first()).center());
    }

    void Click(const char *button) { QTest::mouseClick(Get<QPushButton>(button), Qt::LeftButton); }

    bool PagingShown()
    {
        const bool next = Get<QPushButton>("cmdPageNext")->isVisible();
        const bool previous = Get<QPushButton>("cmdPagePrevious")->isVisible();
        const bool label = Get<QLabel>("lblPageLabel")->isVisible();
        if (next != previous || next != label)
            qWarning("paging controls disagree");
        return next && previous && label;
    }

    QString PageLabel() { return Get<QLabel>("lblPageLabel")->text(); }

    frmMain window;
};

} // namespace

class tst_ChatView : public QObject {
    Q_OBJECT
private slots:
    void importMessages();
    void importFillsListsAndResetsMergedChats();
    void importOfEmptyLogKeepsPreviousOne_data();
    void importOfEmptyLogKeepsPreviousOne();
    void importOfUnreadableFileNamesIt();
    void folderWithOrWithoutTrailingSeparator();
    void pageCounts_data();
    void pageCounts();
    void walkingThreePages();
    void pagesJoinBackIntoTheWholeText();
    void optionOnPageThreeReturnsToPageOne();
    void lineLongerThanAPage();
    void everythingFilteredOut();
    void optionsBeforeAnyChat();
    void keyboardSelectionShowsChat();
    void newImportLeavesViewUntilNextClick();
};

void tst_ChatView::importMessages()
{
    QTemporaryDir empty;
    Reader r;
    r.Get<QLineEdit>("txtFileLocation")->setText(empty.path());
    MessageSeen seen;
    {
        ModalAnswer answer(AcceptMessage(&seen));
        r.Click("cmdImportFile");
    }
    QCOMPARE(seen.count, 1);
    QCOMPARE(seen.text, QStringLiteral("No valid chat log chosen, unable to load."));
    QCOMPARE(seen.title, QStringLiteral("Error"));
    QCOMPARE(seen.icon, QMessageBox::Warning);
    QVERIFY(!r.Get<QPushButton>("cmdAddMergedChat")->isEnabled());

    // Items but no combo text: the first item is loaded and becomes the text.
    QTemporaryDir dir;
    WriteFile(dir.filePath(QStringLiteral("client_chat_log_1.txt")), kHeader + TellLines(QStringLiteral("Orrik"), {40}));
    WriteFile(dir.filePath(QStringLiteral("client_chat_log_2.txt")), kHeader + TellLines(QStringLiteral("Veyla"), {40}));
    r.Get<QLineEdit>("txtFileLocation")->setText(dir.path());
    r.Get<QComboBox>("cmbFileName")->setEditText(QString());
    r.Click("cmdImportFile");
    QCOMPARE(r.Get<QComboBox>("cmbFileName")->currentText(), QStringLiteral("client_chat_log_1.txt"));
    QCOMPARE(r.window.State().ChatNames, QStringList{QStringLiteral("Orrik")});
}

void tst_ChatView::importFillsListsAndResetsMergedChats()
{
    QTemporaryDir dir;
    const QByteArray body = "[06/14/2005 21:03:17] Veyla: hi\r\n\r\n"
                            "[06/14/2005 21:03:18] [Trade: Orrik] ore\r\n"
                            "[06/14/2005 21:03:19] Orrik tells you: hi\r\n"
                            "[06/14/2005 21:03:20] Veyla: again\r\n\r\n"
                            "[06/14/2005 21:03:21] Veyla tells you: yo\r\n"
                            "[06/14/2005 21:03:22] [Trade: Orrik] more\r\n"
                            "[06/14/2005 21:03:23] orrik tells you: case\r\n\r\n\r\n";
    WriteFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")), kHeader + body);
    Reader r;
    r.Click("cmdClearList"); // allowed before any import
    QVERIFY(r.window.State().MergedChats.IsAllocated());
    QCOMPARE(r.window.State().MergedChats.Count(), 1);
    QVERIFY(!r.Get<QPushButton>("cmdAddMergedChat")->isEnabled());

    r.Import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    auto *list = r.Get<QListWidget>("lstChatNames");
    QStringList shown;
    for (int i = 0; i < list->count(); ++i)
        shown.append(list->item(i)->text());
    QCOMPARE(shown, QStringList({QStringLiteral("Public/Global"), QStringLiteral("Trade"), QStringLiteral("Orrik"),
                                 QStringLiteral("Veyla"), QStringLiteral("orrik")}));
    QCOMPARE(r.window.State().ChatLog.size(), 7);
    QVERIFY(r.Get<QPushButton>("cmdAddMergedChat")->isEnabled());
    QCOMPARE(r.Get<QListWidget>("lstMergedChatNames")->count(), 0);
    QCOMPARE(r.window.State().MergedChats.Count(), 1);
    QVERIFY(!r.window.State().MergedChats.Entry(0));
    QVERIFY(ViewText(r.window).isEmpty()); // an import picks no chat
}

void tst_ChatView::importOfEmptyLogKeepsPreviousOne_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("header only") << kHeader;
    QTest::newRow("blank lines only") << kHeader + "\r\n\r\n\r\n";
    QTest::newRow("empty file") << QByteArray();
}

void tst_ChatView::importOfEmptyLogKeepsPreviousOne()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    WriteFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")), kHeader + TellLines(QStringLiteral("Orrik"), {50}));
    WriteFile(dir.filePath(QStringLiteral("client_chat_log_b.txt")), bytes);
    Reader r;
    r.Import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    r.ClickChat(QStringLiteral("Orrik"));
    const QString before = ViewText(r.window);
    QVERIFY(!before.isEmpty());

    MessageSeen seen;
    {
        ModalAnswer answer(AcceptMessage(&seen));
        r.Import(dir.path(), QStringLiteral("client_chat_log_b.txt"));
    }
    QCOMPARE(seen.text, QStringLiteral("Errors found withing chat log, unable to load."));
    QCOMPARE(seen.title, QStringLiteral("Error"));
    QCOMPARE(seen.icon, QMessageBox::Warning);
    QCOMPARE(r.window.State().ChatNames, QStringList{QStringLiteral("Orrik")});
    QCOMPARE(r.Get<QListWidget>("lstChatNames")->count(), 1);
    QCOMPARE(r.window.State().ChatLog.size(), 1);
    QCOMPARE(ViewText(r.window), before);
}

void tst_ChatView::importOfUnreadableFileNamesIt()
{
    QTemporaryDir dir;
    WriteFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")), kHeader + TellLines(QStringLiteral("Orrik"), {50}));
    QDir(dir.path()).mkdir(QStringLiteral("client_chat_log_dir.txt"));
    Reader r;
    r.Import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    for (const QString &name : {QStringLiteral("client_chat_log_gone.txt"), QStringLiteral("client_chat_log_dir.txt")}) {
        MessageSeen seen;
        {
            ModalAnswer answer(AcceptMessage(&seen));
            r.Import(dir.path(), name);
        }
        QCOMPARE(seen.count, 1);
        QCOMPARE(seen.title, QStringLiteral("Error"));
        QCOMPARE(seen.icon, QMessageBox::Warning);
        QVERIFY2(seen.text.contains(name), qPrintable(seen.text));
        QCOMPARE(r.window.State().ChatNames, QStringList{QStringLiteral("Orrik")});
    }
}

void tst_ChatView::folderWithOrWithoutTrailingSeparator()
{
    QTemporaryDir dir;
    WriteFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")), kHeader + TellLines(QStringLiteral("Orrik"), {50}));
    for (const QString &folder : {dir.path(), dir.path() + u'/', QDir::toNativeSeparators(dir.path()) + u'\\'}) {
        Reader r;
        r.Import(folder, QStringLiteral("client_chat_log_a.txt"));
        QCOMPARE(r.window.State().ChatNames, QStringList{QStringLiteral("Orrik")});
    }
}

void tst_ChatView::pageCounts_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("pages");
    QTest::newRow("100 characters") << 100 << 1;
    QTest::newRow("exactly one page") << 65000 << 1;
    QTest::newRow("one character more") << 65001 << 2;
    QTest::newRow("three pages") << 130001 << 3;
}

void tst_ChatView::pageCounts()
{
    QFETCH(int, length);
    QFETCH(int, pages);
    QTemporaryDir dir;
    WriteFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")),
              kHeader + TellLines(QStringLiteral("Orrik"), LinesOf(length)));
    Reader r;
    r.Import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    r.ClickChat(QStringLiteral("Orrik"));
    QCOMPARE(r.window.ChatText.size(), length);
    QCOMPARE(r.window.PageCount, pages);
    QCOMPARE(r.PagingShown(), pages > 1);
    QCOMPARE(r.PageLabel(), QStringLiteral("Page 1 of %1").arg(pages));
    if (pages == 1)
        QCOMPARE(ViewText(r.window), r.window.ChatText.chopped(2));
}

void tst_ChatView::walkingThreePages()
{
    QTemporaryDir dir;
    WriteFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")),
              kHeader + TellLines(QStringLiteral("Orrik"), LinesOf(180000)) +
                  TellLines(QStringLiteral("Veyla"), LinesOf(140000)));
    Reader r;
    r.Import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    r.ClickChat(QStringLiteral("Orrik"));
    auto *next = r.Get<QPushButton>("cmdPageNext");
    auto *previous = r.Get<QPushButton>("cmdPagePrevious");
    QVERIFY(r.PagingShown());
    QVERIFY(!previous->isEnabled());
    QVERIFY(next->isEnabled());

    r.Click("cmdPageNext");
    QCOMPARE(r.PageLabel(), QStringLiteral("Page 2 of 3"));
    QVERIFY(previous->isEnabled() && next->isEnabled());
    r.Click("cmdPageNext");
    QCOMPARE(r.PageLabel(), QStringLiteral("Page 3 of 3"));
    QVERIFY(!next->isEnabled());
    QVERIFY(previous->isEnabled());
    r.Click("cmdPagePrevious");
    QCOMPARE(r.PageLabel(), QStringLiteral("Page 2 of 3"));
    QVERIFY(next->isEnabled());
    r.Click("cmdPagePrevious");
    QCOMPARE(r.PageLabel(), QStringLiteral("Page 1 of 3"));
    QVERIFY(!previous->isEnabled());

    // Another multi-page chat, chosen from page 3, starts at its page 1.
    r.Click("cmdPageNext");
    r.Click("cmdPageNext");
    r.ClickChat(QStringLiteral("Veyla"));
    QCOMPARE(r.PageLabel(), QStringLiteral("Page 1 of 3"));
    QVERIFY(ViewText(r.window).startsWith(QStringLiteral(" Veyla tells you: ")));
    QVERIFY(!previous->isEnabled());
    QVERIFY(next->isEnabled());
}

void tst_ChatView::pagesJoinBackIntoTheWholeText()
{
    // Lines of many lengths, so the cuts land at varied distances from the page boundaries.
    QList<int> lengths;
    for (int i = 0; lengths.size() < 6000; ++i)
        lengths.append(25 + (i * 7919) % 180);
    QTemporaryDir dir;
    WriteFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")), kHeader + TellLines(QStringLiteral("Orrik"), lengths));
    Reader r;
    r.Import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    r.ClickChat(QStringLiteral("Orrik"));
    QVERIFY(r.window.PageCount > 5);
    QStringList pages{ViewText(r.window)};
    for (int p = 2; p <= r.window.PageCount; ++p) {
        r.Click("cmdPageNext");
        pages.append(ViewText(r.window));
    }
    QCOMPARE(pages.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"), r.window.ChatText);
}

void tst_ChatView::optionOnPageThreeReturnsToPageOne()
{
    QTemporaryDir dir;
    WriteFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")),
              kHeader + TellLines(QStringLiteral("Orrik"), LinesOf(150000)));
    Reader r;
    r.Import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    r.ClickChat(QStringLiteral("Orrik"));
    r.Click("cmdPageNext");
    r.Click("cmdPageNext");
    QCOMPARE(r.window.CurrentPage, 3);
    r.Get<QAction>("mnuOptionsShowTimestamp")->trigger();
    QVERIFY(r.window.State().Options.ShowTimestamp);
    QCOMPARE(r.window.CurrentPage, 1);
    QVERIFY(ViewText(r.window).startsWith(QStringLiteral("[06/14/2005 21:00:00] Orrik tells you: ")));
    QCOMPARE(r.window.PageCount, 3); // 1500 lines of 100 + 21 characters
    QVERIFY(!r.Get<QPushButton>("cmdPagePrevious")->isEnabled());
    r.Get<QAction>("mnuOptionsShowTimestamp")->trigger();
    QVERIFY(!r.window.State().Options.ShowTimestamp);
    QVERIFY(ViewText(r.window).startsWith(QStringLiteral(" Orrik tells you: ")));
}

void tst_ChatView::lineLongerThanAPage()
{
    // Page 3's two cuts are the same line end (the one after the long line): page 3 then shows the
    // rest of the text from its start, and page 4 repeats the end of it.
    QTemporaryDir dir;
    WriteFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")),
              kHeader + TellLines(QStringLiteral("Orrik"), {100, 200000, 100, 100}));
    Reader r;
    r.Import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    r.ClickChat(QStringLiteral("Orrik"));
    QCOMPARE(r.window.PageCount, 4);
    const QString &all = r.window.ChatText;
    QCOMPARE(ViewText(r.window), all.left(98));
    r.Click("cmdPageNext");
    QCOMPARE(ViewText(r.window), all.mid(100, 199998));
    r.Click("cmdPageNext");
    QCOMPARE(ViewText(r.window), all.mid(200100));
    r.Click("cmdPageNext");
    QCOMPARE(ViewText(r.window), all.mid(200100, 198));
}

void tst_ChatView::everythingFilteredOut()
{
    QTemporaryDir dir;
    WriteFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")),
              kHeader + "[06/14/2005 21:07:15] You have gathered 3 iron ore.\r\n"
                        "[06/14/2005 21:07:16] You have received 20 coins.\r\n");
    Reader r;
    r.Import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    r.ClickChat(QStringLiteral("Public/Global"));
    QCOMPARE(ViewText(r.window), QStringLiteral(" You have gathered 3 iron ore.\r\n You have received 20 coins."));
    r.Get<QAction>("mnuOptions_PublicChannel_DisplayGameFeedback")->trigger();
    QVERIFY(!r.window.State().Options.DisplayGameFeedback);
    QCOMPARE(r.window.PageCount, 0);
    QVERIFY(ViewText(r.window).isEmpty());
    QVERIFY(!r.PagingShown());
    r.Get<QAction>("mnuOptions_PublicChannel_DisplaySystem")->trigger();
    QVERIFY(!r.window.State().Options.DisplaySystem);
    QVERIFY(!r.Get<QAction>("mnuOptions_PublicChannel_DisplaySystem")->isChecked());
}

void tst_ChatView::optionsBeforeAnyChat()
{
    Reader r;
    for (const char *name : {"mnuOptionsShowTimestamp", "mnuOptions_PublicChannel_DisplayGameFeedback",
                             "mnuOptions_PublicChannel_DisplaySystem"}) {
        QAction *action = r.Get<QAction>(name);
        const bool before = action->isChecked();
        action->trigger();
        QCOMPARE(action->isChecked(), !before);
        QVERIFY(ViewText(r.window).isEmpty());
        QVERIFY(!r.PagingShown());
    }
    QCOMPARE(r.window.State().Options.ShowTimestamp, true);
    QCOMPARE(r.window.State().Options.DisplayGameFeedback, false);
    QCOMPARE(r.window.State().Options.DisplaySystem, false);
}

void tst_ChatView::keyboardSelectionShowsChat()
{
    QTemporaryDir dir;
    WriteFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")),
              kHeader + TellLines(QStringLiteral("Orrik"), {40}) + TellLines(QStringLiteral("Veyla"), {40}));
    Reader r;
    r.Import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    auto *list = r.Get<QListWidget>("lstChatNames");
    // Focus alone makes a row current without choosing it: the view stays empty.
    list->setFocus(Qt::TabFocusReason);
    QVERIFY(ViewText(r.window).isEmpty());
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down);
    QTRY_VERIFY(ViewText(r.window).startsWith(QStringLiteral(" Veyla tells you: ")));
    QTest::keyClick(list, Qt::Key_Up);
    QVERIFY(ViewText(r.window).startsWith(QStringLiteral(" Orrik tells you: ")));
}

void tst_ChatView::newImportLeavesViewUntilNextClick()
{
    QTemporaryDir dir;
    WriteFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")), kHeader + TellLines(QStringLiteral("Orrik"), {40}));
    WriteFile(dir.filePath(QStringLiteral("client_chat_log_b.txt")),
              kHeader + TellLines(QStringLiteral("Orrik"), {60}, 'y') + TellLines(QStringLiteral("Veyla"), {40}));
    Reader r;
    r.Import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    r.ClickChat(QStringLiteral("Orrik"));
    const QString first = ViewText(r.window);
    r.Import(dir.path(), QStringLiteral("client_chat_log_b.txt"));
    QCOMPARE(ViewText(r.window), first);
    QCOMPARE(r.Get<QListWidget>("lstChatNames")->count(), 2);
    r.ClickChat(QStringLiteral("Orrik"));
    QVERIFY(ViewText(r.window).endsWith(QStringLiteral("yyy")));
}

QTEST_MAIN(tst_ChatView)
#include "tst_chatview.moc"

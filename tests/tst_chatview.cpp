#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

#include "WindowDriver.h"

namespace {

const QByteArray kHeader = "Chat log for Veyla started 06/14/2005 21:00:03\r\n";

// Log lines of chat `name` whose assembled lines (text and CR LF, no timestamps) have the given
// lengths. Each is a tell "[stamp] <name> tells you: xxx".
QByteArray tellLines(const QString &name, const QList<int> &lengths, char fill = 'x')
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

QList<int> linesOf(int total, int each = 100)
{
    QList<int> lengths(total / each, each);
    if (total % each)
        lengths.last() += total % each;
    return lengths;
}

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
    void filterAndSortTheListOfChats_data();
    void filterAndSortTheListOfChats();
    void clickOnTheSelectedChatShowsItAgain();
    void importShowsOnlyTheNewLogsText_data();
    void importShowsOnlyTheNewLogsText();
};

void tst_ChatView::importMessages()
{
    QTemporaryDir empty;
    WindowDriver r;
    r.get<QLineEdit>("txtFileLocation")->setText(empty.path());
    MessageSeen seen;
    {
        ModalAnswer answer(acceptMessage(&seen));
        r.click("cmdImportFile");
    }
    QCOMPARE(seen.count, 1);
    QCOMPARE(seen.text, QStringLiteral("No valid chat log chosen, unable to load."));
    QCOMPARE(seen.title, QStringLiteral("Error"));
    QCOMPARE(seen.icon, QMessageBox::Warning);
    QVERIFY(!r.get<QPushButton>("cmdAddMergedChat")->isEnabled());

    // Items but no combo text: the first item is loaded and becomes the text.
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("client_chat_log_1.txt")),
              kHeader + tellLines(QStringLiteral("Orrik"), {40}));
    writeFile(dir.filePath(QStringLiteral("client_chat_log_2.txt")),
              kHeader + tellLines(QStringLiteral("Veyla"), {40}));
    r.get<QLineEdit>("txtFileLocation")->setText(dir.path());
    r.get<QComboBox>("cmbFileName")->setEditText(QString());
    r.click("cmdImportFile");
    QCOMPARE(r.get<QComboBox>("cmbFileName")->currentText(), QStringLiteral("client_chat_log_1.txt"));
    QCOMPARE(r.window.state().log->ChatNames, QStringList{QStringLiteral("Orrik")});
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
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")), kHeader + body);
    WindowDriver r;
    r.click("cmdClearList"); // allowed before any import
    QVERIFY(r.window.state().MergedChats.isAllocated());
    QCOMPARE(r.window.state().MergedChats.count(), 1);
    QVERIFY(!r.get<QPushButton>("cmdAddMergedChat")->isEnabled());

    r.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    auto *list = r.get<QListWidget>("lstChatNames");
    QStringList shown;
    for (int i = 0; i < list->count(); ++i)
        shown.append(list->item(i)->text());
    QCOMPARE(shown, QStringList({QStringLiteral("Public/Global"), QStringLiteral("Trade"),
                                 QStringLiteral("Orrik"), QStringLiteral("Veyla"), QStringLiteral("orrik")}));
    QCOMPARE(r.window.state().log->ChatLog.size(), 7);
    QVERIFY(r.get<QPushButton>("cmdAddMergedChat")->isEnabled());
    QCOMPARE(r.get<QListWidget>("lstMergedChatNames")->count(), 0);
    QCOMPARE(r.window.state().MergedChats.count(), 1);
    QVERIFY(!r.window.state().MergedChats.entry(0));
    QVERIFY(r.viewText().isEmpty()); // an import picks no chat
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
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")),
              kHeader + tellLines(QStringLiteral("Orrik"), {50}));
    writeFile(dir.filePath(QStringLiteral("client_chat_log_b.txt")), bytes);
    WindowDriver r;
    r.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    QVERIFY(r.clickChat(QStringLiteral("Orrik")));
    const QString before = r.viewText();
    QVERIFY(!before.isEmpty());

    MessageSeen seen;
    {
        ModalAnswer answer(acceptMessage(&seen));
        r.import(dir.path(), QStringLiteral("client_chat_log_b.txt"));
    }
    QCOMPARE(seen.text, QStringLiteral("Errors found withing chat log, unable to load."));
    QCOMPARE(seen.title, QStringLiteral("Error"));
    QCOMPARE(seen.icon, QMessageBox::Warning);
    QCOMPARE(r.window.state().log->ChatNames, QStringList{QStringLiteral("Orrik")});
    QCOMPARE(r.get<QListWidget>("lstChatNames")->count(), 1);
    QCOMPARE(r.window.state().log->ChatLog.size(), 1);
    QCOMPARE(r.viewText(), before);
}

void tst_ChatView::importOfUnreadableFileNamesIt()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")),
              kHeader + tellLines(QStringLiteral("Orrik"), {50}));
    QDir(dir.path()).mkdir(QStringLiteral("client_chat_log_dir.txt"));
    WindowDriver r;
    r.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    for (const QString &name :
         {QStringLiteral("client_chat_log_gone.txt"), QStringLiteral("client_chat_log_dir.txt")}) {
        MessageSeen seen;
        {
            ModalAnswer answer(acceptMessage(&seen));
            r.import(dir.path(), name);
        }
        QCOMPARE(seen.count, 1);
        QCOMPARE(seen.title, QStringLiteral("Error"));
        QCOMPARE(seen.icon, QMessageBox::Warning);
        QVERIFY2(seen.text.contains(name), qPrintable(seen.text));
        QCOMPARE(r.window.state().log->ChatNames, QStringList{QStringLiteral("Orrik")});
    }
}

void tst_ChatView::folderWithOrWithoutTrailingSeparator()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")),
              kHeader + tellLines(QStringLiteral("Orrik"), {50}));
    for (const QString &folder :
         {dir.path(), dir.path() + u'/', QDir::toNativeSeparators(dir.path()) + u'\\'}) {
        WindowDriver r;
        r.import(folder, QStringLiteral("client_chat_log_a.txt"));
        QCOMPARE(r.window.state().log->ChatNames, QStringList{QStringLiteral("Orrik")});
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
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")),
              kHeader + tellLines(QStringLiteral("Orrik"), linesOf(length)));
    WindowDriver r;
    r.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    QVERIFY(r.clickChat(QStringLiteral("Orrik")));
    QCOMPARE(r.window.ChatText.size(), length);
    QCOMPARE(r.window.PageCount, pages);
    QCOMPARE(r.pagingShown(), pages > 1);
    QCOMPARE(r.pageLabel(), QStringLiteral("Page 1 of %1").arg(pages));
    if (pages == 1)
        QCOMPARE(r.viewText(), r.window.ChatText.chopped(2));
}

void tst_ChatView::walkingThreePages()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")),
              kHeader + tellLines(QStringLiteral("Orrik"), linesOf(180000)) +
                  tellLines(QStringLiteral("Veyla"), linesOf(140000)));
    WindowDriver r;
    r.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    QVERIFY(r.clickChat(QStringLiteral("Orrik")));
    auto *next = r.get<QPushButton>("cmdPageNext");
    auto *previous = r.get<QPushButton>("cmdPagePrevious");
    QVERIFY(r.pagingShown());
    QVERIFY(!previous->isEnabled());
    QVERIFY(next->isEnabled());

    r.click("cmdPageNext");
    QCOMPARE(r.pageLabel(), QStringLiteral("Page 2 of 3"));
    QVERIFY(previous->isEnabled() && next->isEnabled());
    r.click("cmdPageNext");
    QCOMPARE(r.pageLabel(), QStringLiteral("Page 3 of 3"));
    QVERIFY(!next->isEnabled());
    QVERIFY(previous->isEnabled());
    r.click("cmdPagePrevious");
    QCOMPARE(r.pageLabel(), QStringLiteral("Page 2 of 3"));
    QVERIFY(next->isEnabled());
    r.click("cmdPagePrevious");
    QCOMPARE(r.pageLabel(), QStringLiteral("Page 1 of 3"));
    QVERIFY(!previous->isEnabled());

    // Another multi-page chat, chosen from page 3, starts at its page 1.
    r.click("cmdPageNext");
    r.click("cmdPageNext");
    QVERIFY(r.clickChat(QStringLiteral("Veyla")));
    QCOMPARE(r.pageLabel(), QStringLiteral("Page 1 of 3"));
    QVERIFY(r.viewText().startsWith(QStringLiteral(" Veyla tells you: ")));
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
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")),
              kHeader + tellLines(QStringLiteral("Orrik"), lengths));
    WindowDriver r;
    r.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    QVERIFY(r.clickChat(QStringLiteral("Orrik")));
    QVERIFY(r.window.PageCount > 5);
    QStringList pages{r.viewText()};
    for (int p = 2; p <= r.window.PageCount; ++p) {
        r.click("cmdPageNext");
        pages.append(r.viewText());
    }
    QCOMPARE(pages.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"), r.window.ChatText);
}

void tst_ChatView::optionOnPageThreeReturnsToPageOne()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")),
              kHeader + tellLines(QStringLiteral("Orrik"), linesOf(150000)));
    WindowDriver r;
    r.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    QVERIFY(r.clickChat(QStringLiteral("Orrik")));
    r.click("cmdPageNext");
    r.click("cmdPageNext");
    QCOMPARE(r.window.CurrentPage, 3);
    r.get<QAction>("mnuOptionsShowTimestamp")->trigger();
    QVERIFY(r.window.state().options.ShowTimestamp);
    QCOMPARE(r.window.CurrentPage, 1);
    QVERIFY(r.viewText().startsWith(QStringLiteral("[06/14/2005 21:00:00] Orrik tells you: ")));
    QCOMPARE(r.window.PageCount, 3); // 1500 lines of 100 + 21 characters
    QVERIFY(!r.get<QPushButton>("cmdPagePrevious")->isEnabled());
    r.get<QAction>("mnuOptionsShowTimestamp")->trigger();
    QVERIFY(!r.window.state().options.ShowTimestamp);
    QVERIFY(r.viewText().startsWith(QStringLiteral(" Orrik tells you: ")));
}

void tst_ChatView::lineLongerThanAPage()
{
    // Page 3's two cuts are the same line end (the one after the long line): page 3 then shows the
    // rest of the text from its start, and page 4 repeats the end of it.
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")),
              kHeader + tellLines(QStringLiteral("Orrik"), {100, 200000, 100, 100}));
    WindowDriver r;
    r.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    QVERIFY(r.clickChat(QStringLiteral("Orrik")));
    QCOMPARE(r.window.PageCount, 4);
    const QString &all = r.window.ChatText;
    QCOMPARE(r.viewText(), all.left(98));
    r.click("cmdPageNext");
    QCOMPARE(r.viewText(), all.mid(100, 199998));
    r.click("cmdPageNext");
    QCOMPARE(r.viewText(), all.mid(200100));
    r.click("cmdPageNext");
    QCOMPARE(r.viewText(), all.mid(200100, 198));
}

void tst_ChatView::everythingFilteredOut()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")),
              kHeader + "[06/14/2005 21:07:15] You have gathered 3 iron ore.\r\n"
                        "[06/14/2005 21:07:16] You have received 20 coins.\r\n");
    WindowDriver r;
    r.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    QVERIFY(r.clickChat(QStringLiteral("Public/Global")));
    QCOMPARE(r.viewText(), QStringLiteral(" You have gathered 3 iron ore.\r\n You have received 20 coins."));
    r.get<QAction>("mnuOptions_PublicChannel_DisplayGameFeedback")->trigger();
    QVERIFY(!r.window.state().options.DisplayGameFeedback);
    QCOMPARE(r.window.PageCount, 0);
    QVERIFY(r.viewText().isEmpty());
    QVERIFY(!r.pagingShown());
    r.get<QAction>("mnuOptions_PublicChannel_DisplaySystem")->trigger();
    QVERIFY(!r.window.state().options.DisplaySystem);
    QVERIFY(!r.get<QAction>("mnuOptions_PublicChannel_DisplaySystem")->isChecked());
}

void tst_ChatView::optionsBeforeAnyChat()
{
    WindowDriver r;
    for (const char *name : {"mnuOptionsShowTimestamp", "mnuOptions_PublicChannel_DisplayGameFeedback",
                             "mnuOptions_PublicChannel_DisplaySystem"}) {
        QAction *action = r.get<QAction>(name);
        const bool before = action->isChecked();
        action->trigger();
        QCOMPARE(action->isChecked(), !before);
        QVERIFY(r.viewText().isEmpty());
        QVERIFY(!r.pagingShown());
    }
    QCOMPARE(r.window.state().options.ShowTimestamp, true);
    QCOMPARE(r.window.state().options.DisplayGameFeedback, false);
    QCOMPARE(r.window.state().options.DisplaySystem, false);
}

void tst_ChatView::keyboardSelectionShowsChat()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")),
              kHeader + tellLines(QStringLiteral("Orrik"), {40}) + tellLines(QStringLiteral("Veyla"), {40}));
    WindowDriver r;
    r.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    auto *list = r.get<QListWidget>("lstChatNames");
    // Focus alone makes a row current without choosing it: the view stays empty.
    list->setFocus(Qt::TabFocusReason);
    QVERIFY(r.viewText().isEmpty());
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down);
    QTRY_VERIFY(r.viewText().startsWith(QStringLiteral(" Veyla tells you: ")));
    QTest::keyClick(list, Qt::Key_Up);
    QVERIFY(r.viewText().startsWith(QStringLiteral(" Orrik tells you: ")));
}

void tst_ChatView::filterAndSortTheListOfChats_data()
{
    QTest::addColumn<QString>("order");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("tooltip"); // of the last row shown
    const QString one = QStringLiteral("1 line, 06/14/2005 21:00:00");
    QTest::newRow("in order of appearance") << "Appearance"
                                            << "" << QStringList{"Orrik", "bryn", "Veyla"} << one;
    QTest::newRow("by name, filtered ignoring case")
        << "Name"
        << "R" << QStringList{"bryn", "Orrik"} << "2 lines, 06/14/2005 21:00:00 to 06/14/2005 21:00:01";
    QTest::newRow("by last line") << "LastLine"
                                  << "" << QStringList{"Orrik", "Veyla", "bryn"} << one;
    QTest::newRow("filter matching nothing") << "Appearance"
                                             << "zz" << QStringList() << QString();
}

void tst_ChatView::filterAndSortTheListOfChats()
{
    QFETCH(QString, order);
    QFETCH(QString, filter);
    QFETCH(QStringList, shown);
    QFETCH(QString, tooltip);
    QTemporaryDir dir;
    QByteArray orrikLater = tellLines(QStringLiteral("Orrik"), {40, 40});
    const qsizetype second = orrikLater.indexOf("[06/14/2005 21:00:01]");
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")),
              kHeader + orrikLater.left(second) + tellLines(QStringLiteral("bryn"), {40}) +
                  tellLines(QStringLiteral("Veyla"), {40}) + orrikLater.mid(second));
    WindowDriver r;
    r.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    r.get<QAction>(qPrintable(QStringLiteral("mnuOptions_SortChats_") + order))->trigger();
    QTest::keyClick(&r.window, Qt::Key_K, Qt::ControlModifier);
    auto *box = r.get<QLineEdit>("txtChatFilter");
    QCOMPARE(QApplication::focusWidget(), box);
    QCOMPARE(box->placeholderText(), QStringLiteral("Filter chats"));
    QTest::keyClicks(box, filter);
    auto *list = r.get<QListWidget>("lstChatNames");
    QCOMPARE(r.shownRows("lstChatNames"), shown);
    QCOMPARE(list->count(), 3); // hidden, not removed
    if (!shown.isEmpty()) {
        QListWidgetItem *last = r.chatItem(shown.last());
        WindowDriver::clickItem(last);
        QVERIFY(r.viewText().startsWith(u' ' + shown.last() + QStringLiteral(" tells you: ")));
        const QPoint at = list->visualItemRect(last).center();
        QHelpEvent help(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &help);
        QTRY_COMPARE(QToolTip::text(), tooltip);
    }
    QTest::keyClick(box, Qt::Key_Escape);
    QVERIFY(box->text().isEmpty());
    for (int row = 0; row < list->count(); ++row)
        QVERIFY(!list->isRowHidden(row));
}

void tst_ChatView::clickOnTheSelectedChatShowsItAgain()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")),
              kHeader + tellLines(QStringLiteral("Orrik"), linesOf(150000)) +
                  tellLines(QStringLiteral("Veyla"), {40}));
    WindowDriver r;
    r.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    r.merge({QStringLiteral("Veyla")});
    QVERIFY(r.clickChat(QStringLiteral("Orrik")));
    r.clickRow("lstMergedChatNames", 0);
    QVERIFY(r.viewText().startsWith(QStringLiteral(" Veyla tells you: ")));
    QVERIFY(r.chatItem(QStringLiteral("Orrik"))->isSelected()); // still highlighted in its list
    QVERIFY(r.clickChat(QStringLiteral("Orrik")));
    QVERIFY(r.viewText().startsWith(QStringLiteral(" Orrik tells you: ")));

    // A click always rebuilds and shows page 1, also of the chat on view.
    r.click("cmdPageNext");
    QCOMPARE(r.pageLabel(), QStringLiteral("Page 2 of 3"));
    QVERIFY(r.clickChat(QStringLiteral("Orrik")));
    QCOMPARE(r.pageLabel(), QStringLiteral("Page 1 of 3"));
    QVERIFY(!r.get<QPushButton>("cmdPagePrevious")->isEnabled());
    r.click("cmdPageNext");
    r.clickRow("lstMergedChatNames", 0);
    r.clickRow("lstMergedChatNames", 0);
    QVERIFY(r.viewText().startsWith(QStringLiteral(" Veyla tells you: ")));

    // Focus alone shows nothing; Space on the row that focus made current chooses it.
    auto *merged = r.get<QListWidget>("lstMergedChatNames");
    QVERIFY(r.clickChat(QStringLiteral("Orrik")));
    merged->clearSelection();
    merged->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    merged->setFocus(Qt::TabFocusReason);
    QVERIFY(r.viewText().startsWith(QStringLiteral(" Orrik tells you: ")));
    QTest::keyClick(merged, Qt::Key_Space);
    QVERIFY(r.viewText().startsWith(QStringLiteral(" Veyla tells you: ")));
}

void tst_ChatView::importShowsOnlyTheNewLogsText_data()
{
    QTest::addColumn<QString>("onView");  // a chat, or "merged" for Orrik and Veyla merged
    QTest::addColumn<QByteArray>("next"); // the log loaded next
    QTest::addColumn<bool>("allLogs");    // loaded with Open All Logs in Folder
    QTest::addColumn<QString>("view");    // then: "rebuilt" from the new log, "emptied", or "kept"
    const QByteArray both = kHeader + tellLines(QStringLiteral("Orrik"), linesOf(140000), 'y') +
                            tellLines(QStringLiteral("Veyla"), {40}, 'y');
    QTest::newRow("same chat in the new log") << "Orrik" << both << false << "rebuilt";
    QTest::newRow("same chat, all logs of a folder") << "Orrik" << both << true << "rebuilt";
    QTest::newRow("chat not in the new log")
        << "Orrik" << kHeader + tellLines(QStringLiteral("Veyla"), {40}, 'y') << false << "emptied";
    QTest::newRow("merged chat on view") << "merged" << both << false << "emptied";
    QTest::newRow("failed import keeps the view") << "Orrik" << kHeader << false << "kept";
}

// Whatever was on view, an import never leaves the text of another log there, and Follow Log then adds
// only the new log's lines to the new log's text.
void tst_ChatView::importShowsOnlyTheNewLogsText()
{
    QFETCH(QString, onView);
    QFETCH(QByteArray, next);
    QFETCH(bool, allLogs);
    QFETCH(QString, view);
    QTemporaryDir dir, other;
    const QString first = dir.filePath(QStringLiteral("client_chat_log_a.txt"));
    const QString second = other.filePath(QStringLiteral("client_chat_log_b.txt"));
    writeFile(first, kHeader + tellLines(QStringLiteral("Orrik"), linesOf(140000)) +
                         tellLines(QStringLiteral("Veyla"), {40}));
    writeFile(second, next);
    WindowDriver r;
    r.import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
    if (onView == u"merged") {
        r.merge({QStringLiteral("Orrik"), QStringLiteral("Veyla")});
        r.clickRow("lstMergedChatNames", 0);
    } else {
        QVERIFY(r.clickChat(onView));
    }
    r.click("cmdPageNext");
    const QString before = r.viewText();

    MessageSeen seen;
    {
        ModalAnswer answer(acceptMessage(&seen), isMessageBox());
        if (allLogs)
            r.openAllLogs(other.path());
        else
            r.import(other.path(), QStringLiteral("client_chat_log_b.txt"));
    }
    QCOMPARE(seen.count, view == u"kept" ? 1 : 0);
    auto *list = r.get<QListWidget>("lstChatNames");
    const QList<QListWidgetItem *> selected = list->selectedItems();
    if (view == u"kept") {
        QCOMPARE(r.viewText(), before);
        QCOMPARE(r.window.CurrentPage, 2);
    } else if (view == u"rebuilt") {
        QCOMPARE(r.window.SelectedChats, QStringList{onView});
        QCOMPARE(r.window.ChatText,
                 modMain::BuildChatText(r.window.state().log->ChatLog, {onView}, r.window.state().options));
        QVERIFY(r.window.ChatText.contains(QStringLiteral("yyy")) &&
                !r.window.ChatText.contains(QStringLiteral("xxx")));
        const modMain::PageSpan page = modMain::PageRange(r.window.ChatText, 1);
        QCOMPARE(r.viewText(), r.window.ChatText.mid(page.start, page.length));
        QCOMPARE(r.pageLabel(), QStringLiteral("Page 1 of 3"));
        QVERIFY(r.pagingShown());
        QVERIFY(!r.get<QPushButton>("cmdPagePrevious")->isEnabled());
        QVERIFY(r.get<QAction>("mnuEdit_NextPage")->isEnabled());
        QVERIFY(selected.size() == 1 && selected.first()->text() == onView);
    } else {
        QVERIFY(r.viewText().isEmpty() && r.window.ChatText.isEmpty() && r.window.SelectedChats.isEmpty());
        QVERIFY(!r.pagingShown());
        QVERIFY(!r.get<QAction>("mnuEdit_GoToPage")->isEnabled());
        QVERIFY(selected.isEmpty());
    }
    if (allLogs)
        return; // not followed

    // The game goes on writing the log now loaded.
    const QString followed = view == u"kept" ? first : second;
    QFile log(followed);
    QVERIFY(log.open(QIODevice::Append));
    log.write(tellLines(QStringLiteral("Orrik"), {60}, 'z'));
    log.close();
    r.get<QAction>("mnuOptionsFollowLog")->trigger();
    QCOMPARE(r.window.ChatText,
             r.window.SelectedChats.isEmpty()
                 ? QString()
                 : modMain::BuildChatText(modMain::LoadChatLog(followed).log.ChatLog, r.window.SelectedChats,
                                          r.window.state().options));
}

QTEST_MAIN(tst_ChatView)
#include "tst_chatview.moc"

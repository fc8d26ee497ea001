#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTreeView>

#include "ReaderSettings.h"
#include "WindowDriver.h"

namespace {

// Orrik's tells, 1600 lines of 100 characters as the view shows them (three pages), "line N" in each;
// some lines carry a word to find. Veyla says one short line.
QByteArray pagedLog(const QMap<int, QByteArray> &words)
{
    QByteArray bytes = "header\r\n";
    for (int i = 0; i < 1600; ++i) {
        QByteArray text = "line " + QByteArray::number(i) + " " + words.value(i);
        text += QByteArray(98 - 18 - text.size(), '.');
        bytes += "[06/14/2005 21:03:17] Orrik tells you: " + text + "\r\n";
    }
    bytes += "[06/14/2005 21:03:18] Veyla tells you: hello\r\n";
    return bytes;
}

class Window : public WindowDriver {
public:
    explicit Window(const QByteArray &log)
    {
        writeFile(dir.filePath(QStringLiteral("client_chat_log_a.txt")), log);
        import(dir.path(), QStringLiteral("client_chat_log_a.txt"));
        if (!QTest::qWaitForWindowActive(&window))
            qWarning("the window did not become active");
    }

    QAction *action(const char *name) { return get<QAction>(name); }
    QPlainTextEdit *view() { return get<QPlainTextEdit>("txtChat"); }
    QString selection() { return view()->textCursor().selectedText(); }
    // Keys as the user types them into the focused control of a window: in, else the active one, else
    // the main window. A window that is not active is activated first, as the user's click would (the
    // offscreen platform does not hand activation back when a dialog closes).
    void keys(int key, Qt::KeyboardModifiers modifiers = {}, QWidget *in = nullptr)
    {
        QWidget *top = activated(in);
        QTest::keyClick(top->focusWidget() ? top->focusWidget() : top, Qt::Key(key), modifiers);
    }
    void type(const QString &text, QWidget *in = nullptr)
    {
        QWidget *top = activated(in);
        QTest::keyClicks(top->focusWidget() ? top->focusWidget() : top, text);
    }
    QWidget *activated(QWidget *in)
    {
        QWidget *top = in ? in : QApplication::activeWindow() ? QApplication::activeWindow() : &window;
        if (QApplication::activeWindow() != top) {
            top->activateWindow();
            if (!QTest::qWaitForWindowActive(top))
                qWarning("%s did not become active", qPrintable(top->objectName()));
        }
        return top;
    }
    // Opens the Find box with Ctrl+F and waits for its text field to take the keys.
    QWidget *openFind()
    {
        keys(Qt::Key_F, Qt::ControlModifier);
        auto *box = window.findChild<QWidget *>(QStringLiteral("frmFind"));
        if (box &&
            QTest::qWaitFor([&] { return QApplication::focusWidget() == box->findChild<QLineEdit *>(); }))
            return box;
        qWarning("the Find box did not take the focus");
        return box;
    }
    // The line of the view that holds the selection, as the view shows it.
    QString selectedLine() { return view()->textCursor().block().text(); }
    bool selectionInSight() { return view()->viewport()->rect().intersects(view()->cursorRect()); }
    // The selection on screen, from its start to its end.
    QRect selectionOnScreen()
    {
        QTextCursor edge = view()->textCursor();
        edge.setPosition(view()->textCursor().selectionStart());
        QRect rect = view()->cursorRect(edge);
        edge.setPosition(view()->textCursor().selectionEnd());
        rect = rect.united(view()->cursorRect(edge));
        rect.moveTopLeft(view()->viewport()->mapToGlobal(rect.topLeft()));
        return rect;
    }

    QTemporaryDir dir;
};

QWidget *findBox(Window &w)
{
    return w.window.findChild<QWidget *>(QStringLiteral("frmFind"));
}

void setWrapAround(QWidget *box, bool on)
{
    box->findChild<QCheckBox *>(QStringLiteral("chkWrapAround"))->setChecked(on);
}

QString statusOf(Window &w)
{
    return w.window.statusBar()->currentMessage();
}

const QString kPassedEnd = QStringLiteral("Passed the end of the chat; continued from the top");
const QString kPassedStart = QStringLiteral("Passed the start of the chat; continued from the bottom");

// Opens Search All Chats with its keys, sets its boxes and types pattern, as the user does, and waits
// for the search to end (the field's pause after typing included).
QTreeView *searchAllChats(Window &w, const QString &pattern, bool regex = false, bool matchCase = false)
{
    w.keys(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    auto *field = w.get<QLineEdit>("txtSearch");
    if (!QTest::qWaitFor([&] { return QApplication::focusWidget() == field; }))
        qWarning("the search field did not take the focus");
    w.get<QCheckBox>("chkSearchRegex")->setChecked(regex);
    w.get<QCheckBox>("chkSearchMatchCase")->setChecked(matchCase);
    w.type(pattern);
    // Ended: counted, or refused (once the pause after typing has passed).
    auto *count = w.get<QLabel>("lblSearchCount");
    auto *error = w.get<QLabel>("lblSearchError");
    if (!QTest::qWaitFor([&] {
            return error->isVisible() ||
                   (!count->text().isEmpty() && !count->text().startsWith(QLatin1String("Searching")));
        }))
        qWarning("the search did not end");
    auto *results = w.get<QTreeView>("lstSearchResults");
    return results;
}

// The rows of the search results: chat and line, as shown.
QStringList resultRows(QTreeView *results)
{
    QStringList rows;
    const QAbstractItemModel *model = results->model();
    for (int row = 0; row < model->rowCount(); ++row)
        rows << model->index(row, 1).data().toString() + QLatin1Char('|') +
                    model->index(row, 2).data().toString();
    return rows;
}

// A Guild line that a runaway regular expression cannot decide, between lines it can.
QByteArray searchLog()
{
    return "header\r\n"
           "[06/14/2005 21:03:17] Orrik tells you: the Needle is here\r\n"
           "[06/14/2005 21:03:18] Veyla tells you: hello needle\r\n"
           "[06/14/2005 21:03:19] Orrik tells you: NEEDLE again\r\n"
           "[06/14/2005 21:03:20] [Guild: Brannoc] the bridge at Greyford is bugged again, watch your "
           "step\r\n"
           "[06/14/2005 21:03:21] Veyla tells you: last needle\r\n";
}

} // namespace

class tst_FindAndPages : public QObject {
    Q_OBJECT
private slots:
    void init();
    void editMenuShowsShortcuts();
    void findBoxAsDesigned();
    void findTurnsToThePageOfEachMatch();
    void findNextAndPreviousRepeatTheLastSearch();
    void findNothingSaysSoAndChangesNothing();
    void findOnAnEditedPage();
    void goToPage();
    void pageKeysKeepTheButtonsAsTheyDo();
    void pageItemsWaitForSeveralPages();
    void selectAllAndCopyActOnTheView();
    void searchAllChatsListsMatchesInFileOrder_data();
    void searchAllChatsListsMatchesInFileOrder();
    void searchResultShowsItsLineInItsChat();
    void searchResultsGoWithTheirLog();
};

void tst_FindAndPages::init()
{
    readersettings::store().clear(); // the Find box's options as a new user has them
}

void tst_FindAndPages::editMenuShowsShortcuts()
{
    Window w(pagedLog({}));
    auto *edit = w.get<QMenu>("mnuEdit");
    QVERIFY(edit->menuAction()->isEnabled());
    struct Item {
        const char *name, *caption, *keys;
    };
    for (const Item &item :
         {Item{"mnuEdit_Copy", "&Copy", "Ctrl+C"}, Item{"mnuEdit_SelectAll", "Select &All", "Ctrl+A"},
          Item{"mnuEdit_Find", "&Find...", "Ctrl+F"}, Item{"mnuEdit_FindNext", "Find &Next", "F3"},
          Item{"mnuEdit_FindPrevious", "Find Pre&vious", "Shift+F3"},
          Item{"mnuEdit_GoToPage", "&Go to Page...", "Ctrl+G"}, Item{"mnuEdit_FirstPage", "F&irst Page", ""},
          Item{"mnuEdit_PreviousPage", "&Previous Page", "Ctrl+PgUp"},
          Item{"mnuEdit_NextPage", "Nex&t Page", "Ctrl+PgDown"}, Item{"mnuEdit_LastPage", "&Last Page", ""},
          Item{"mnuEdit_SearchAllChats", "Search &All Chats...", "Ctrl+Shift+F"},
          Item{"mnuEdit_NextResult", "Next Res&ult", "F4"},
          Item{"mnuEdit_PreviousResult", "P&revious Result", "Shift+F4"}}) {
        QAction *action = w.action(item.name);
        QVERIFY2(edit->actions().contains(action), item.name);
        QCOMPARE(action->text(), QLatin1String(item.caption));
        QCOMPARE(action->shortcut().toString(), QLatin1String(item.keys));
    }
}

void tst_FindAndPages::findBoxAsDesigned()
{
    Window w(pagedLog({}));
    QVERIFY(!findBox(w));
    QWidget *box = w.openFind();
    QVERIFY(box);
    QVERIFY(box->isVisible());
    QVERIFY(!box->isModal());
    QCOMPARE(box->windowTitle(), QStringLiteral("Find"));
    QCOMPARE(box->findChild<QLabel *>(QStringLiteral("lblFind"))->text(), QStringLiteral("Fi&nd what:"));
    QCOMPARE(box->findChild<QCheckBox *>(QStringLiteral("chkMatchCase"))->text(),
             QStringLiteral("Match &case"));
    QVERIFY(!box->findChild<QCheckBox *>(QStringLiteral("chkMatchCase"))->isChecked());
    auto *wrap = box->findChild<QCheckBox *>(QStringLiteral("chkWrapAround"));
    QCOMPARE(wrap->text(), QStringLiteral("Wrap a&round"));
    QVERIFY(!wrap->isChecked());
    QCOMPARE(box->findChild<QRadioButton *>(QStringLiteral("optUp"))->text(), QStringLiteral("&Up"));
    QCOMPARE(box->findChild<QRadioButton *>(QStringLiteral("optDown"))->text(), QStringLiteral("&Down"));
    QVERIFY(box->findChild<QRadioButton *>(QStringLiteral("optDown"))->isChecked());
    auto *findNext = box->findChild<QPushButton *>(QStringLiteral("cmdFindNext"));
    QCOMPARE(findNext->text(), QStringLiteral("&Find Next"));
    QCOMPARE(box->findChild<QPushButton *>(QStringLiteral("cmdCancel"))->text(), QStringLiteral("Cancel"));
    // Every control inside the box, none cut off.
    for (QWidget *child : box->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        QVERIFY2(box->rect().contains(child->geometry()), qPrintable(child->objectName()));

    auto *text = box->findChild<QLineEdit *>(QStringLiteral("txtFind"));
    QTRY_COMPARE(QApplication::focusWidget(), text);
    QVERIFY(!findNext->isEnabled());
    QTest::keyClicks(text, QStringLiteral("x"));
    QVERIFY(findNext->isEnabled());

    // Esc hides it; opening it again keeps what was typed, selected so that typing replaces it.
    w.keys(Qt::Key_Escape);
    QTRY_VERIFY(!box->isVisible());
    w.action("mnuEdit_Find")->trigger();
    QTRY_VERIFY(box->isVisible());
    QCOMPARE(text->text(), QStringLiteral("x"));
    QCOMPARE(text->selectedText(), QStringLiteral("x"));
    QVERIFY(findBox(w) == box);

    // A selection within a line of the view is offered as the text to find.
    QVERIFY(w.clickChat(QStringLiteral("Veyla")));
    QTextCursor cursor = w.view()->textCursor();
    cursor.setPosition(18);
    cursor.setPosition(23, QTextCursor::KeepAnchor);
    w.view()->setTextCursor(cursor);
    w.action("mnuEdit_Find")->trigger();
    QCOMPARE(text->text(), QStringLiteral("hello"));

    // Wrap around is remembered for the next run.
    QTest::mouseClick(wrap, Qt::LeftButton);
    QVERIFY(wrap->isChecked());
    Window next(pagedLog({}));
    QVERIFY(next.openFind()->findChild<QCheckBox *>(QStringLiteral("chkWrapAround"))->isChecked());
}

void tst_FindAndPages::findTurnsToThePageOfEachMatch()
{
    Window w(pagedLog({{10, "Needle"}, {1000, "needle"}, {1500, "NEEDLE"}}));
    QVERIFY(w.clickChat(QStringLiteral("Orrik")));
    QCOMPARE(w.window.PageCount, 3);
    QWidget *box = w.openFind();
    QVERIFY(box && box->isVisible());
    setWrapAround(box, true);
    w.type(QStringLiteral("needle"));

    // Enter in the text field is Find Next; each match is selected on its page and scrolled into sight.
    const struct {
        int page;
        const char *line;
    } expected[] = {{1, "line 10 "}, {2, "line 1000 "}, {3, "line 1500 "}, {1, "line 10 "}};
    QRect firstMatch;
    for (const auto &match : expected) {
        // The last search comes back to the first match: the box is put over it, and moves off it.
        if (firstMatch.isValid())
            box->move(firstMatch.topLeft() - QPoint(20, 10));
        w.keys(Qt::Key_Return);
        QVERIFY(!box->frameGeometry().intersects(w.selectionOnScreen()));
        if (!firstMatch.isValid())
            firstMatch = w.selectionOnScreen();
        QCOMPARE(w.window.CurrentPage, match.page);
        QCOMPARE(w.pageLabel(), QStringLiteral("Page %1 of 3").arg(match.page));
        QCOMPARE(w.selection().toLower(), QStringLiteral("needle"));
        QVERIFY2(w.selectedLine().contains(QLatin1String(match.line)), qPrintable(w.selectedLine()));
        QVERIFY(w.selectionInSight());
        QCOMPARE(w.get<QPushButton>("cmdPagePrevious")->isEnabled(), match.page > 1);
        QCOMPARE(w.get<QPushButton>("cmdPageNext")->isEnabled(), match.page < 3);
        QCOMPARE(w.action("mnuEdit_NextPage")->isEnabled(), match.page < 3);
        QVERIFY(box->isVisible()); // the box stays for the next search
        QCOMPARE(statusOf(w), &match == &expected[3] ? kPassedEnd : QString()); // the last went round
    }

    // Up, with the case to match: from line 10 back round to the end, where only "NEEDLE" fits.
    QTest::mouseClick(box->findChild<QRadioButton *>(QStringLiteral("optUp")), Qt::LeftButton);
    box->findChild<QCheckBox *>(QStringLiteral("chkMatchCase"))->setChecked(true);
    auto *text = box->findChild<QLineEdit *>(QStringLiteral("txtFind"));
    text->setText(QStringLiteral("NEEDLE"));
    QTest::mouseClick(box->findChild<QPushButton *>(QStringLiteral("cmdFindNext")), Qt::LeftButton);
    QCOMPARE(w.window.CurrentPage, 3);
    QCOMPARE(w.selection(), QStringLiteral("NEEDLE"));
    QCOMPARE(statusOf(w), kPassedStart);
}

void tst_FindAndPages::findNextAndPreviousRepeatTheLastSearch()
{
    Window w(pagedLog({{10, "needle"}, {1000, "needle"}, {1500, "needle"}}));
    QVERIFY(w.clickChat(QStringLiteral("Orrik")));
    w.view()->setFocus();

    // Before any search F3 opens the box instead.
    w.keys(Qt::Key_F3);
    QWidget *box = findBox(w);
    QTRY_VERIFY(box && box->isVisible());
    QTRY_COMPARE(QApplication::focusWidget(), box->findChild<QLineEdit *>());
    setWrapAround(box, true);
    w.type(QStringLiteral("needle"));
    w.keys(Qt::Key_Return);
    QVERIFY(w.selectedLine().contains(QLatin1String("line 10 ")));
    // F3 works in the box as well as in the window.
    w.keys(Qt::Key_F3);
    QVERIFY(w.selectedLine().contains(QLatin1String("line 1000 ")));
    box->close();
    w.view()->setFocus();
    w.keys(Qt::Key_F3, {}, &w.window);
    QCOMPARE(w.window.CurrentPage, 3);
    w.keys(Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(w.window.CurrentPage, 2);
    QVERIFY(w.selectedLine().contains(QLatin1String("line 1000 ")));
    w.keys(Qt::Key_F3, Qt::ShiftModifier);
    w.keys(Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(w.window.CurrentPage, 3); // wrapped round to the last match
    QVERIFY(w.selectedLine().contains(QLatin1String("line 1500 ")));

    // A search from where the user clicked: on page 2 after line 1000, down finds line 1500.
    w.click("cmdPagePrevious");
    QTextCursor cursor = w.view()->textCursor();
    cursor.setPosition(w.view()->document()->findBlockByNumber(400).position());
    w.view()->setTextCursor(cursor);
    w.keys(Qt::Key_F3);
    QVERIFY(w.selectedLine().contains(QLatin1String("line 1500 ")));
}

void tst_FindAndPages::findNothingSaysSoAndChangesNothing()
{
    Window w(pagedLog({{10, "needle"}}));
    QVERIFY(w.clickChat(QStringLiteral("Orrik")));
    w.click("cmdPageNext");
    QTextCursor cursor = w.view()->textCursor();
    cursor.setPosition(50);
    cursor.setPosition(60, QTextCursor::KeepAnchor);
    w.view()->setTextCursor(cursor);
    const QString before = w.view()->toPlainText();

    QWidget *box = w.openFind();
    MessageSeen seen;
    // Nowhere, or only above the cursor while the search does not wrap around: nothing is found.
    for (const QString &missing : {QStringLiteral("haystack"), QStringLiteral("needle")}) {
        box->findChild<QLineEdit *>(QStringLiteral("txtFind"))->setText(missing);
        int boxWidth = 0;
        {
            ModalAnswer answer([&](QWidget *modal) {
                boxWidth = modal->width();
                acceptMessage (&seen)(modal);
            });
            w.keys(Qt::Key_Return, {}, box);
        }
        QCOMPARE(seen.title, QStringLiteral("Evenfall Chat Log Reader"));
        QCOMPARE(seen.text, QStringLiteral("Cannot find \"%1\"").arg(missing));
        // Wide enough for its title in a bold title font, with the frame's buttons beside it.
        QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
        titleFont.setBold(true);
        const QFontMetrics title(titleFont);
        QVERIFY2(boxWidth >= title.horizontalAdvance(seen.title) + 6 * title.height(),
                 qPrintable(QString::number(boxWidth)));
        QCOMPARE(w.window.CurrentPage, 2);
        QCOMPARE(w.view()->toPlainText(), before);
        QCOMPARE(w.view()->textCursor().selectionStart(), 50);
        QCOMPARE(w.view()->textCursor().selectionEnd(), 60);
        QCOMPARE(w.get<QPushButton>("cmdPagePrevious")->isEnabled(), true);
        QCOMPARE(statusOf(w), QString());
    }
    QCOMPARE(seen.count, 2);
    // Wrapping around, it is found on page 1, and the status bar says how.
    setWrapAround(box, true);
    w.keys(Qt::Key_Return, {}, box);
    QCOMPARE(w.window.CurrentPage, 1);
    QVERIFY(w.selectedLine().contains(QLatin1String("line 10 ")));
    QCOMPARE(statusOf(w), kPassedEnd);

    // "Needle" with the case to match is nowhere either; with nothing on view, nothing is anywhere.
    box->findChild<QCheckBox *>(QStringLiteral("chkMatchCase"))->setChecked(true);
    box->findChild<QLineEdit *>(QStringLiteral("txtFind"))->setText(QStringLiteral("Needle"));
    {
        ModalAnswer answer(acceptMessage(&seen));
        w.keys(Qt::Key_Return, {}, box);
    }
    QCOMPARE(seen.count, 3);
    QCOMPARE(w.window.CurrentPage, 1);
    Window empty(pagedLog({}));
    {
        ModalAnswer answer(acceptMessage(&seen));
        empty.action("mnuEdit_FindNext")->trigger(); // opens the box
        QTRY_VERIFY(findBox(empty) && findBox(empty)->isVisible());
        findBox(empty)->findChild<QLineEdit *>(QStringLiteral("txtFind"))->setText(QStringLiteral("line"));
        QTest::mouseClick(findBox(empty)->findChild<QPushButton *>(QStringLiteral("cmdFindNext")),
                          Qt::LeftButton);
    }
    QCOMPARE(seen.count, 4);
}

void tst_FindAndPages::findOnAnEditedPage()
{
    // Typing into the view shifts it against the text; the search then takes the page as built.
    Window w(pagedLog({{10, "needle"}, {20, "needle"}}));
    QVERIFY(w.clickChat(QStringLiteral("Orrik")));
    w.view()->moveCursor(QTextCursor::End);
    w.view()->insertPlainText(QStringLiteral("typed by the user"));
    w.openFind();
    w.type(QStringLiteral("needle"));
    w.keys(Qt::Key_Return);
    QCOMPARE(w.selection(), QStringLiteral("needle"));
    QVERIFY(w.selectedLine().contains(QLatin1String("line 10 ")));
    QVERIFY(!w.view()->toPlainText().contains(QLatin1String("typed by the user")));
    w.keys(Qt::Key_Return);
    QVERIFY(w.selectedLine().contains(QLatin1String("line 20 ")));
}

void tst_FindAndPages::goToPage()
{
    Window w(pagedLog({}));
    QVERIFY(w.clickChat(QStringLiteral("Orrik")));
    auto answer = [&](const std::function<void(QWidget *)> &action) {
        ModalAnswer box([&](QWidget *modal) {
            QCOMPARE(modal->objectName(), QStringLiteral("frmGoToPage"));
            QCOMPARE(modal->windowTitle(), QStringLiteral("Go to Page"));
            action(modal);
        });
        w.keys(Qt::Key_G, Qt::ControlModifier);
        QVERIFY(box.answered());
    };
    // Typed over the page shown, confirmed with Enter.
    answer([](QWidget *modal) {
        auto *number = modal->findChild<QSpinBox *>(QStringLiteral("txtPageNumber"));
        QCOMPARE(number->value(), 1);
        QCOMPARE(number->minimum(), 1);
        QCOMPARE(number->maximum(), 3);
        QCOMPARE(modal->findChild<QLabel *>(QStringLiteral("lblPageNumber"))->text(),
                 QStringLiteral("&Page number (1 - 3):"));
        QTest::keyClicks(number, QStringLiteral("3"));
        QTest::keyClick(number, Qt::Key_Return);
    });
    QCOMPARE(w.window.CurrentPage, 3);
    QCOMPARE(w.pageLabel(), QStringLiteral("Page 3 of 3"));
    QVERIFY(w.view()->toPlainText().startsWith(QLatin1String(" Orrik tells you: line 1")));
    QVERIFY(!w.get<QPushButton>("cmdPageNext")->isEnabled());
    QVERIFY(w.get<QPushButton>("cmdPagePrevious")->isEnabled());
    // A number beyond the last page stays as typed (not cut to another page) and is refused; the
    // arrows go on from the page it held. Cancel and Esc keep the page.
    answer([](QWidget *modal) {
        auto *number = modal->findChild<QSpinBox *>(QStringLiteral("txtPageNumber"));
        auto *ok = modal->findChild<QPushButton *>(QStringLiteral("cmdOK"));
        QTest::keyClicks(number, QStringLiteral("9"));
        QCOMPARE(number->value(), 3);
        QCOMPARE(number->text(), QStringLiteral("9"));
        QVERIFY(!ok->isEnabled());
        QTest::keyClick(number, Qt::Key_Return);
        QVERIFY(modal->isVisible());
        QTest::keyClick(number, Qt::Key_Down);
        QCOMPARE(number->value(), 2);
        QVERIFY(ok->isEnabled());
        QTest::mouseClick(modal->findChild<QPushButton *>(QStringLiteral("cmdCancel")), Qt::LeftButton);
    });
    QCOMPARE(w.window.CurrentPage, 3);
    answer([](QWidget *modal) { // "12" of 3 pages: never page 1
        auto *number = modal->findChild<QSpinBox *>(QStringLiteral("txtPageNumber"));
        QTest::keyClicks(number, QStringLiteral("12"));
        QTest::keyClick(number, Qt::Key_Return);
        QCOMPARE(number->text(), QStringLiteral("12"));
        QTest::keyClick(number, Qt::Key_Escape);
    });
    QCOMPARE(w.window.CurrentPage, 3);
    answer([](QWidget *modal) {
        auto *number = modal->findChild<QSpinBox *>(QStringLiteral("txtPageNumber"));
        QTest::keyClicks(number, QStringLiteral("2"));
        QTest::keyClick(number, Qt::Key_Escape);
    });
    QCOMPARE(w.window.CurrentPage, 3);
    answer([](QWidget *modal) {
        auto *number = modal->findChild<QSpinBox *>(QStringLiteral("txtPageNumber"));
        number->setValue(2);
        QTest::mouseClick(modal->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
    });
    QCOMPARE(w.window.CurrentPage, 2);
    QVERIFY(w.get<QPushButton>("cmdPageNext")->isEnabled() &&
            w.get<QPushButton>("cmdPagePrevious")->isEnabled());
}

void tst_FindAndPages::pageKeysKeepTheButtonsAsTheyDo()
{
    Window w(pagedLog({}));
    QVERIFY(w.clickChat(QStringLiteral("Orrik")));
    auto *next = w.get<QPushButton>("cmdPageNext");
    auto *previous = w.get<QPushButton>("cmdPagePrevious");
    auto state = [&] {
        return QStringLiteral("%1 %2%3 %4%5%6%7")
            .arg(w.window.CurrentPage)
            .arg(previous->isEnabled())
            .arg(next->isEnabled())
            .arg(w.action("mnuEdit_FirstPage")->isEnabled())
            .arg(w.action("mnuEdit_PreviousPage")->isEnabled())
            .arg(w.action("mnuEdit_NextPage")->isEnabled())
            .arg(w.action("mnuEdit_LastPage")->isEnabled());
    };
    QCOMPARE(state(), QStringLiteral("1 01 0011"));
    // From the list and from inside the text view alike.
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("lstChatNames"));
    w.keys(Qt::Key_PageDown, Qt::ControlModifier);
    QCOMPARE(state(), QStringLiteral("2 11 1111"));
    QVERIFY(w.view()->toPlainText().startsWith(QLatin1String(" Orrik tells you: line ")));
    QCOMPARE(w.get<QListWidget>("lstChatNames")->currentRow(), 0); // the list did not take the key
    w.view()->setFocus();
    w.keys(Qt::Key_PageDown, Qt::ControlModifier);
    QCOMPARE(state(), QStringLiteral("3 10 1100"));
    w.keys(Qt::Key_PageDown, Qt::ControlModifier); // nothing beyond the last page
    QCOMPARE(state(), QStringLiteral("3 10 1100"));
    w.keys(Qt::Key_PageUp, Qt::ControlModifier);
    QCOMPARE(state(), QStringLiteral("2 11 1111"));
    w.action("mnuEdit_FirstPage")->trigger();
    QCOMPARE(state(), QStringLiteral("1 01 0011"));
    QCOMPARE(w.pageLabel(), QStringLiteral("Page 1 of 3"));
    w.action("mnuEdit_LastPage")->trigger();
    QCOMPARE(state(), QStringLiteral("3 10 1100"));
    QCOMPARE(w.pageLabel(), QStringLiteral("Page 3 of 3"));
    // The buttons carry on from there exactly as before.
    w.click("cmdPagePrevious");
    w.click("cmdPagePrevious");
    QCOMPARE(state(), QStringLiteral("1 01 0011"));
}

void tst_FindAndPages::pageItemsWaitForSeveralPages()
{
    Window w(pagedLog({}));
    const char *const pageItems[] = {"mnuEdit_GoToPage", "mnuEdit_FirstPage", "mnuEdit_PreviousPage",
                                     "mnuEdit_NextPage", "mnuEdit_LastPage"};
    auto anyEnabled = [&] {
        return std::any_of(std::begin(pageItems), std::end(pageItems),
                           [&](const char *name) { return w.action(name)->isEnabled(); });
    };
    QVERIFY(!anyEnabled()); // nothing on view
    QVERIFY(w.clickChat(QStringLiteral("Veyla")));
    QVERIFY(!anyEnabled()); // one page
    bool boxShown = false;
    {
        ModalAnswer answer([&](QWidget *modal) {
            boxShown = true;
            modal->close();
        });
        w.keys(Qt::Key_G, Qt::ControlModifier);
        w.keys(Qt::Key_PageDown, Qt::ControlModifier);
    }
    QVERIFY(!boxShown);
    QCOMPARE(w.window.CurrentPage, 1);
    QVERIFY(w.clickChat(QStringLiteral("Orrik")));
    QVERIFY(w.action("mnuEdit_GoToPage")->isEnabled());
    w.get<QAction>("mnuOptions_PublicChannel_DisplaySystem")->trigger(); // rebuilt: still several pages
    QVERIFY(w.action("mnuEdit_NextPage")->isEnabled());
    QVERIFY(w.clickChat(QStringLiteral("Veyla")));
    QVERIFY(!anyEnabled());
}

void tst_FindAndPages::selectAllAndCopyActOnTheView()
{
    Window w(pagedLog({}));
    QVERIFY(w.clickChat(QStringLiteral("Veyla")));
    QVERIFY(!w.action("mnuEdit_Copy")->isEnabled()); // nothing selected
    QApplication::clipboard()->setText(QStringLiteral("old"));
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("lstChatNames"));
    w.keys(Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(w.selection(), QStringLiteral(" Veyla tells you: hello"));
    QVERIFY(w.action("mnuEdit_Copy")->isEnabled());
    w.get<QWidget>("cmdImportFile")->setFocus();
    w.keys(Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral(" Veyla tells you: hello"));
    // In the folder box the keys are the box's own.
    auto *folder = w.folderBox();
    folder->setFocus();
    w.keys(Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(folder->selectedText(), folder->text());
}

void tst_FindAndPages::searchAllChatsListsMatchesInFileOrder_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("regex");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("error");
    const QString first = QStringLiteral("Orrik|Orrik tells you: the Needle is here"),
                  hello = QStringLiteral("Veyla|Veyla tells you: hello needle"),
                  again = QStringLiteral("Orrik|Orrik tells you: NEEDLE again"),
                  last = QStringLiteral("Veyla|Veyla tells you: last needle");
    QTest::newRow("a text in any case, every chat")
        << "needle" << false << false << QStringList{first, hello, again, last} << "4 matches in 2 chats"
        << QString();
    QTest::newRow("a text with its case")
        << "NEEDLE" << false << true << QStringList{again} << "1 match in 1 chat" << QString();
    QTest::newRow("not after the timestamp")
        << "21:03" << false << false << QStringList() << "No matches" << QString();
    QTest::newRow("a regular expression") << "^ \\w+ tells you: (hello|last)" << true << false
                                          << QStringList{hello, last} << "2 matches in 1 chat" << QString();
    QTest::newRow("a give-up ends the search, the rows before it stay")
        << "(\\w+\\s?)+$" << true << false << QStringList{first, hello, again}
        << "The regular expression gave up on the line of Guild at 06/14/2005 21:03:20 (too complex); the "
           "search stopped there. 3 matches in 2 chats before it."
        << QString();
    QTest::newRow("a bad regular expression searches nothing")
        << "(needle" << true << false << QStringList() << QString()
        << "Not a regular expression: missing closing parenthesis at character 8.";
}

void tst_FindAndPages::searchAllChatsListsMatchesInFileOrder()
{
    QFETCH(QString, pattern);
    QFETCH(bool, regex);
    QFETCH(bool, matchCase);
    QFETCH(QStringList, rows);
    QFETCH(QString, count);
    QFETCH(QString, error);
    Window w(searchLog());
    QTreeView *results = searchAllChats(w, pattern, regex, matchCase);
    QVERIFY(w.get<QWidget>("dockSearch")->isVisible());
    QCOMPARE(resultRows(results), rows);
    auto *countLabel = w.get<QLabel>("lblSearchCount");
    auto *errorLabel = w.get<QLabel>("lblSearchError");
    QCOMPARE(countLabel->text(), count);
    QCOMPARE(errorLabel->isVisible(), !error.isEmpty());
    if (!error.isEmpty())
        QCOMPARE(errorLabel->text(), error);
    // A problem is said in red.
    for (QLabel *label : {countLabel, errorLabel}) {
        const QColor color = label->palette().color(QPalette::WindowText);
        const bool problem =
            label->isVisible() && (label == errorLabel || count.contains(QLatin1String("gave up")));
        QCOMPARE(color.red() > 2 * color.green(), problem);
    }
}

void tst_FindAndPages::searchResultShowsItsLineInItsChat()
{
    Window w(pagedLog({{10, "Needle"}, {1000, "needle"}, {1500, "NEEDLE"}}));
    // Sorted by last line, Veyla is listed first: the chat's row is found by its name, not its place.
    w.action("mnuOptions_SortChats_LastLine")->trigger();
    QTreeView *results = searchAllChats(w, QStringLiteral("needle"));
    QCOMPARE(results->model()->rowCount(), 3);
    QCOMPARE(w.window.PageCount, 0); // no chat on view yet

    // Enter on a row shows its chat as a click on the chat's row would, on the line's page, the match
    // selected and in sight.
    results->setFocus();
    results->setCurrentIndex(results->model()->index(1, 0));
    w.keys(Qt::Key_Return, {}, &w.window);
    QTRY_COMPARE(w.window.CurrentPage, 2);
    QCOMPARE(w.window.SelectedChats, QStringList{QStringLiteral("Orrik")});
    QCOMPARE(w.get<QListWidget>("lstChatNames")->currentItem()->text(), QStringLiteral("Orrik"));
    QCOMPARE(w.pageLabel(), QStringLiteral("Page 2 of 3"));
    QCOMPARE(w.selection(), QStringLiteral("needle"));
    QVERIFY2(w.selectedLine().contains(QLatin1String("line 1000 ")), qPrintable(w.selectedLine()));
    QVERIFY(w.selectionInSight());

    // F4 and Shift+F4 step through the results from the current one; past the last, nothing changes.
    const struct {
        Qt::KeyboardModifiers modifiers;
        int page;
        const char *match, *line;
    } steps[] = {{Qt::NoModifier, 3, "NEEDLE", "line 1500 "},
                 {Qt::NoModifier, 3, "NEEDLE", "line 1500 "},
                 {Qt::ShiftModifier, 2, "needle", "line 1000 "},
                 {Qt::ShiftModifier, 1, "Needle", "line 10 "}};
    for (const auto &step : steps) {
        w.keys(Qt::Key_F4, step.modifiers);
        QTRY_COMPARE(w.window.CurrentPage, step.page);
        QCOMPARE(w.selection(), QLatin1String(step.match));
        QVERIFY2(w.selectedLine().contains(QLatin1String(step.line)), qPrintable(w.selectedLine()));
        QVERIFY(w.selectionInSight());
    }
    QCOMPARE(results->currentIndex().row(), 0);
}

void tst_FindAndPages::searchResultsGoWithTheirLog()
{
    Window w(pagedLog({{10, "needle"}}));
    QTreeView *results = searchAllChats(w, QStringLiteral("needle"));
    QCOMPARE(results->model()->rowCount(), 1);
    // Another log, with needles of its own: the rows of the last one go, and nothing is searched anew.
    writeFile(w.dir.filePath(QStringLiteral("client_chat_log_b.txt")), searchLog());
    w.import(w.dir.path(), QStringLiteral("client_chat_log_b.txt"));
    QCOMPARE(results->model()->rowCount(), 0);
    QCOMPARE(w.get<QLabel>("lblSearchCount")->text(), QString());
    w.keys(Qt::Key_F4, {}, &w.window);
    QCOMPARE(w.window.PageCount, 0);
    // Enter searches the new log at once.
    QTest::keyClick(w.get<QLineEdit>("txtSearch"), Qt::Key_Return);
    QTRY_COMPARE(w.get<QLabel>("lblSearchCount")->text(), QStringLiteral("4 matches in 2 chats"));
}

QTEST_MAIN(tst_FindAndPages)
#include "tst_findandpages.moc"

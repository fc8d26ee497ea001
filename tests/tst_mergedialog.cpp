#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "GuiTestHelpers.h"
#include "MergedChats.h"
#include "Twips.h"
#include "frmMergeChats.h"

namespace {

const QStringList kChats = {QStringLiteral("Public/Global"), QStringLiteral("[Trade]"),
                            QStringLiteral("Alyra"), QStringLiteral("alyra"), QStringLiteral("[Guild]")};

QListWidget *list(QDialog *dialog, const char *name)
{
    return dialog->findChild<QListWidget *>(QLatin1String(name));
}

QStringList texts(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

void click(QDialog *dialog, const char *button)
{
    QTest::mouseClick(dialog->findChild<QPushButton *>(QLatin1String(button)), Qt::LeftButton);
}

// Selects exactly the given rows of list; with a button, clicks it.
void select(QDialog *dialog, const char *listName, const QList<int> &rows, const char *button = nullptr)
{
    list(dialog, listName)->clearSelection();
    for (int row : rows)
        list(dialog, listName)->item(row)->setSelected(true);
    if (button)
        click(dialog, button);
}

// Adds the given rows of the available chats to the merge list.
void add(QDialog *dialog, const QList<int> &rows)
{
    select(dialog, "lstChatNames", rows, "cmdAddToMerge");
}

} // namespace

class tst_MergeDialog : public QObject {
    Q_OBJECT
private slots:
    void designedWindow();
    void listsToggleOneItemPerClickOrSpace();
    void eachOpeningStartsAfresh();
    void addKeepsLeftOrderAndNeverDuplicates();
    void removeTakesOnlySelected_data();
    void removeTakesOnlySelected();
    void applyFillsEntryZeroThenAppends();
    void leavingWithoutApplyChangesNothing_data();
    void leavingWithoutApplyChangesNothing();
    void enterPressesTheFocusedButton();
    void doubleClickMovesOneName();
    void noSlotRunsWhileTheDialogIsDestroyed();
};

void tst_MergeDialog::designedWindow()
{
    MergedChatTable table;
    frmMergeChats dialog(kChats, table);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Merge Chats"));
    struct Control {
        const char *name, *caption;
        int l, t, w, h;
    };
    for (const Control &c : {Control{"Label2", "List of Available Chats:", 120, 120, 2655, 255},
                             Control{"txtChatFilter", nullptr, 120, 360, 2655, 315},
                             Control{"lstChatNames", nullptr, 120, 720, 2655, 1845},
                             Control{"cmdAddToMerge", ">>", 2880, 840, 615, 375},
                             Control{"cmdRemoveFromMerge", "<<", 2880, 1320, 615, 375},
                             Control{"Label4", "List of Chats to be Merged:", 3600, 120, 2655, 255},
                             Control{"lstMergedChatNames", nullptr, 3600, 360, 2655, 2205},
                             Control{"cmdApply", "&Apply", 3600, 2760, 1215, 375},
                             Control{"cmdCancel", "&Cancel", 4920, 2760, 1215, 375}}) {
        auto *widget = dialog.findChild<QWidget *>(QLatin1String(c.name));
        QVERIFY2(widget, c.name);
        QCOMPARE(widget->geometry(), twips::toRect(c.l, c.t, c.w, c.h));
        if (auto *button = qobject_cast<QPushButton *>(widget)) {
            QCOMPARE(button->text(), QLatin1String(c.caption));
            QVERIFY2(!button->autoDefault() && !button->isDefault(), c.name);
        }
        if (auto *label = qobject_cast<QLabel *>(widget)) {
            QCOMPARE(label->text(), QLatin1String(c.caption));
            const RenderedColours colours = renderedColours(label);
            QVERIFY2(qAbs(colours.background.red() - 192) <= 3, qPrintable(colours.background.name()));
            QVERIFY(colours.ink.lightness() < 60);
        }
    }

    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QCOMPARE(dialog.size(), QSize(twips::toPixels(6375), twips::toPixels(3180)));
    QVERIFY(dialog.maximumSize().width() > dialog.width()); // resizable
    QTRY_COMPARE(QApplication::focusWidget(), list(&dialog, "lstMergedChatNames"));
    const char *const tabOrder[] = {"lstChatNames",       "txtChatFilter", "cmdAddToMerge",
                                    "cmdRemoveFromMerge", "cmdApply",      "cmdCancel"};
    QWidget *w = list(&dialog, "lstMergedChatNames");
    for (const char *next : tabOrder) {
        do
            w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus || w->objectName().isEmpty() ||
               w->objectName().startsWith(u"qt_"));
        QCOMPARE(w->objectName(), QLatin1String(next));
    }
}

void tst_MergeDialog::listsToggleOneItemPerClickOrSpace()
{
    MergedChatTable table;
    frmMergeChats dialog(kChats, table);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QListWidget *left = list(&dialog, "lstChatNames");
    auto clickRow = [&](int row) {
        QTest::mouseClick(left->viewport(), Qt::LeftButton, {},
                          left->visualItemRect(left->item(row)).center());
    };
    clickRow(0);
    clickRow(2);
    QCOMPARE(left->selectedItems().size(), 2);
    clickRow(0);
    QCOMPARE(left->selectedItems(), QList<QListWidgetItem *>{left->item(2)});
    left->setCurrentRow(3, QItemSelectionModel::NoUpdate);
    QTest::keyClick(left, Qt::Key_Space);
    QTest::keyClick(left, Qt::Key_Down); // moving does not select
    QCOMPARE(left->selectedItems().size(), 2);
    QVERIFY(left->item(3)->isSelected());
}

void tst_MergeDialog::eachOpeningStartsAfresh()
{
    // As the main window opens it: a fresh dialog on the same names and table each time.
    MergedChatTable table;
    table.reset();
    for (int opening = 0; opening < 2; ++opening) {
        frmMergeChats dialog(kChats, table);
        bool leftOpen = true;
        execAnswered(
            dialog,
            [&](QDialog *shown) {
                QCOMPARE(texts(list(shown, "lstChatNames")), kChats);
                QVERIFY(list(shown, "lstChatNames")->selectedItems().isEmpty());
                QCOMPARE(list(shown, "lstMergedChatNames")->count(), 0);
                add(shown, {0, 1});
                click(shown, "cmdCancel");
            },
            &leftOpen);
        QVERIFY(!leftOpen);
    }
    QCOMPARE(table.labels(), QStringList());
}

void tst_MergeDialog::addKeepsLeftOrderAndNeverDuplicates()
{
    MergedChatTable table;
    frmMergeChats dialog(kChats + QStringList{QStringLiteral("[Trade]")}, table);
    QListWidget *left = list(&dialog, "lstChatNames");
    QListWidget *right = list(&dialog, "lstMergedChatNames");

    // Picked out of order, clicked twice; the last row repeats row 1 and goes in once within one click.
    add(&dialog, {4, 1, 2, 5});
    click(&dialog, "cmdAddToMerge");
    QCOMPARE(texts(right), (QStringList{"[Trade]", "Alyra", "[Guild]"}));
    QCOMPARE(left->selectedItems().size(), 4); // left selection kept

    // Only the new names are appended; one differing only in case is a chat of its own.
    add(&dialog, {0, 2, 3});
    QCOMPARE(texts(right), (QStringList{"[Trade]", "Alyra", "[Guild]", "Public/Global", "alyra"}));
}

void tst_MergeDialog::removeTakesOnlySelected_data()
{
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QStringList>("remaining");
    QTest::newRow("two adjacent") << QList<int>{1, 2} << QStringList{"Public/Global", "alyra", "[Guild]"};
    QTest::newRow("first and last") << QList<int>{0, 4} << QStringList{"[Trade]", "Alyra", "alyra"};
    QTest::newRow("all") << QList<int>{0, 1, 2, 3, 4} << QStringList();
}

void tst_MergeDialog::removeTakesOnlySelected()
{
    QFETCH(QList<int>, selected);
    QFETCH(QStringList, remaining);
    MergedChatTable table;
    frmMergeChats dialog(kChats, table);
    auto *apply = dialog.findChild<QPushButton *>(QStringLiteral("cmdApply"));
    QVERIFY(!apply->isEnabled());
    add(&dialog, {0, 1, 2, 3, 4});
    QVERIFY(apply->isEnabled());
    select(&dialog, "lstMergedChatNames", selected, "cmdRemoveFromMerge");
    QCOMPARE(texts(list(&dialog, "lstMergedChatNames")), remaining);
    // What was taken out can be added again, once, after what stayed.
    add(&dialog, {0, 1, 2, 3, 4});
    QStringList again = texts(list(&dialog, "lstMergedChatNames"));
    QCOMPARE(again.first(remaining.size()), remaining);
    QStringList all = kChats;
    again.sort();
    all.sort();
    QCOMPARE(again, all);
    select(&dialog, "lstMergedChatNames", selected, "cmdRemoveFromMerge");
    QCOMPARE(list(&dialog, "lstMergedChatNames")->count(), remaining.size());

    // Apply follows the merge list; with nothing to merge it stores nothing, even when called directly.
    QCOMPARE(apply->isEnabled(), !remaining.isEmpty());
    if (remaining.isEmpty()) {
        dialog.cmdApply_Click();
        QCOMPARE(table.count(), 0);
    }
}

void tst_MergeDialog::applyFillsEntryZeroThenAppends()
{
    MergedChatTable table;
    table.reset();
    frmMergeChats first(kChats, table);
    const int firstResult = execAnswered(first, [](QDialog *shown) {
        add(shown, {2});
        click(shown, "cmdApply");
    });
    QCOMPARE(firstResult, int(QDialog::Accepted));
    QCOMPARE(table.count(), 1);
    QCOMPARE(*table.entry(0), QStringList{"Alyra"});

    frmMergeChats second(kChats, table);
    execAnswered(second, [](QDialog *shown) {
        add(shown, {4, 0});
        list(shown, "lstMergedChatNames")->item(1)->setSelected(true); // selection plays no part
        click(shown, "cmdApply");
    });
    QCOMPARE(table.labels(), (QStringList{"Alyra", "Public/Global/[Guild]"}));
}

void tst_MergeDialog::leavingWithoutApplyChangesNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel") << "cancel";
    QTest::newRow("Esc") << "esc";
    QTest::newRow("close box") << "close";
    QTest::newRow("Enter does not apply") << "enter";
}

void tst_MergeDialog::leavingWithoutApplyChangesNothing()
{
    QFETCH(QString, how);
    MergedChatTable table;
    table.reset();
    table.store({QStringLiteral("[Trade]")});
    frmMergeChats dialog(kChats, table);
    bool leftOpen = false;
    const int result = execAnswered(
        dialog,
        [&](QDialog *shown) {
            add(shown, {0, 2});
            if (how == u"cancel") {
                click(shown, "cmdCancel");
            } else if (how == u"close") {
                shown->close();
            } else if (how == u"esc") {
                QTest::keyClick(list(shown, "lstMergedChatNames"), Qt::Key_Escape);
            } else {
                // Enter applies only on the focused Apply button: not from a list, nor from another button.
                QTest::keyClick(list(shown, "lstMergedChatNames"), Qt::Key_Return);
                QTest::keyClick(list(shown, "lstChatNames"), Qt::Key_Enter, Qt::KeypadModifier);
                shown->findChild<QPushButton *>(QStringLiteral("cmdRemoveFromMerge"))->setFocus();
                QTest::keyClick(shown->focusWidget(), Qt::Key_Return);
            }
        },
        &leftOpen);
    QCOMPARE(leftOpen, how == u"enter");
    QCOMPARE(result, int(QDialog::Rejected));
    QCOMPARE(table.labels(), QStringList{"[Trade]"});
}

void tst_MergeDialog::enterPressesTheFocusedButton()
{
    MergedChatTable table;
    table.reset();
    frmMergeChats dialog(kChats, table);
    const int result = execAnswered(dialog, [](QDialog *shown) {
        select(shown, "lstChatNames", {1, 2});
        auto *add = shown->findChild<QPushButton *>(QStringLiteral("cmdAddToMerge"));
        add->setFocus();
        QTest::keyClick(add, Qt::Key_Return);
        QCOMPARE(texts(list(shown, "lstMergedChatNames")), (QStringList{"[Trade]", "Alyra"}));
        select(shown, "lstMergedChatNames", {0});
        auto *remove = shown->findChild<QPushButton *>(QStringLiteral("cmdRemoveFromMerge"));
        remove->setFocus();
        QTest::keyClick(remove, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(texts(list(shown, "lstMergedChatNames")), QStringList{"Alyra"});
        auto *apply = shown->findChild<QPushButton *>(QStringLiteral("cmdApply"));
        apply->setFocus();
        QTest::keyClick(apply, Qt::Key_Return);
    });
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(table.labels(), QStringList{"Alyra"});
}

void tst_MergeDialog::doubleClickMovesOneName()
{
    MergedChatTable table;
    frmMergeChats dialog(kChats, table);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QListWidget *left = list(&dialog, "lstChatNames");
    QListWidget *right = list(&dialog, "lstMergedChatNames");
    auto doubleClick = [](QListWidget *list, int row) {
        const QPoint at = list->visualItemRect(list->item(row)).center();
        // A user's double-click: a click, then the second press arrives as a double-click.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    };
    left->item(0)->setSelected(true); // other selections take no part
    doubleClick(left, 2);
    doubleClick(left, 4);
    QCOMPARE(texts(right), (QStringList{"Alyra", "[Guild]"}));
    doubleClick(left, 2); // already there: not added twice
    QCOMPARE(texts(right), (QStringList{"Alyra", "[Guild]"}));
    QCOMPARE(texts(left), kChats); // the available chats stay
    right->item(1)->setSelected(true);
    doubleClick(right, 0);
    QCOMPARE(texts(right), QStringList{"[Guild]"});
    QVERIFY(dialog.findChild<QPushButton *>(QStringLiteral("cmdApply"))->isEnabled());
    doubleClick(right, 0);
    QVERIFY(right->count() == 0);
    QVERIFY(!dialog.findChild<QPushButton *>(QStringLiteral("cmdApply"))->isEnabled());
}

namespace {

// Counts the changes of a widget's enabled state once armed.
class EnabledChanges : public QObject {
public:
    bool armed = false;
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (armed && event->type() == QEvent::EnabledChange)
            ++count;
        return false;
    }
};

} // namespace

void tst_MergeDialog::noSlotRunsWhileTheDialogIsDestroyed()
{
    // Once the first control goes, the dialog's own part is gone; the merge list's model resets as the
    // list goes after it, and a slot still connected to it would switch Apply off.
    MergedChatTable table;
    auto *dialog = new frmMergeChats(kChats, table);
    add(dialog, {0, 2});
    auto *apply = dialog->findChild<QPushButton *>(QStringLiteral("cmdApply"));
    QVERIFY(apply->isEnabled());
    EnabledChanges changes;
    apply->installEventFilter(&changes);
    connect(dialog->findChild<QLabel *>(QStringLiteral("Label2")), &QObject::destroyed,
            [&changes] { changes.armed = true; });
    delete dialog;
    QVERIFY(changes.armed);
    QCOMPARE(changes.count, 0);
}

QTEST_MAIN(tst_MergeDialog)
#include "tst_mergedialog.moc"

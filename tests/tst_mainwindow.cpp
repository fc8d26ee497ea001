#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

#include "CommonDialog.h"
#include "DesignedControls.h"
#include "GuiTestHelpers.h"
#include "ReaderSettings.h"
#include "Twips.h"
#include "frmMain.h"

namespace {

void touch(const QString &path)
{
    writeFile(path, "header\r\n");
}

// Makes the current directory a given folder for the lifetime of the object.
struct CurrentDir {
    QString previous = QDir::currentPath();
    explicit CurrentDir(const QString &path) { QDir::setCurrent(path); }
    ~CurrentDir() { QDir::setCurrent(previous); }
};

} // namespace

class tst_MainWindow : public QObject {
    Q_OBJECT
private slots:
    void controlsSitWhereDesigned_data();
    void controlsSitWhereDesigned();
    void startUpState();
    void startUpListsLogsOfCurrentFolder();
    void startUpInFolderWithoutLogs();
    void startUpInVanishedFolderReportsIt();
    void menusAndExit();
    void tabOrderFollowsDesign();
    void everyControlIsNamedAndReachedWithTab();
    void setUpIsRemembered_data();
    void setUpIsRemembered();
    void enterPressesTheFocusedButton();
    void smallestWindowCutsNothingOff();
    void darkSchemeIsReadable();
    void commonDialogFilters();
    void commonDialogKeepsLastChoiceOnCancel();
};

void tst_MainWindow::controlsSitWhereDesigned_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("twipsRect");

    auto row = [](const char *name, const char *caption, int l, int t, int w, int h) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(caption) << QRect(l, t, w, h);
    };
    row("cmdChangeDirToLogs", "Logs", 240, 240, 1215, 255);
    row("cmdChangeDirToLogs_Old", "Logs_Old", 1440, 240, 1215, 255);
    row("Label5", "Path:", 240, 480, 3495, 255);
    row("Label2", "File:", 3720, 480, 3495, 255);
    row("txtFileLocation", nullptr, 240, 720, 3495, 315);
    row("cmbFileName", nullptr, 3720, 720, 3495, 315);
    row("cmdBrowsPath", "...", 7200, 480, 495, 525);
    row("cmdImportFile", "&Import File", 7800, 480, 1335, 495);
    row("Label1", "List of Chats:", 240, 1200, 2655, 255);
    row("lstChatNames", nullptr, 240, 1440, 2655, 1035);
    row("Label4", "List of Merged Chats:", 3000, 1200, 3735, 255);
    row("lstMergedChatNames", nullptr, 3000, 1440, 3735, 1035);
    row("cmdAddMergedChat", "&Add Merged Chat", 6840, 1200, 1095, 615);
    row("cmdClearList", "Clear List", 6840, 1800, 1095, 615);
    row("lblChatLog", "Chat Log:", 120, 2640, 9135, 255);
    row("txtChat", nullptr, 120, 2880, 9135, 3615);
    row("cmdCopyToClipboard", "Copy to Clipboard", 6240, 6480, 1575, 375);
    row("cmdSaveLogToFile", "&Save Log to File...", 7800, 6480, 1455, 375);
    row("cmdPagePrevious", "<- Previous", 120, 6480, 1095, 375);
    row("cmdPageNext", "Next ->", 1200, 6480, 1095, 375);
    row("lblPageLabel", "Page", 2400, 6600, 1815, 255);
}

void tst_MainWindow::controlsSitWhereDesigned()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, twipsRect);

    frmMain window; // not shown: the places before any layout pass are the designed ones
    auto *widget = window.findChild<QWidget *>(name);
    QVERIFY2(widget, qPrintable(name));
    QCOMPARE(widget->geometry(),
             twips::toRect(twipsRect.x(), twipsRect.y(), twipsRect.width(), twipsRect.height()));
    if (auto *button = qobject_cast<QPushButton *>(widget))
        QCOMPARE(button->text(), caption);
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        QCOMPARE(label->text(), caption);
        if (name != u"lblPageLabel") {
            // A light grey bar (192 in the design; the window colour of the scheme shaded towards its
            // text) with dark text.
            const RenderedColours colours = renderedColours(label);
            QCOMPARE(colours.background, headerBarColor(label->palette()));
            QVERIFY2(qAbs(colours.background.red() - 192) <= 3 &&
                         colours.background.red() == colours.background.blue(),
                     qPrintable(colours.background.name()));
            QVERIFY(colours.ink.lightness() < 60);
        }
    }
}

void tst_MainWindow::startUpState()
{
    frmMain window;
    QCOMPARE(window.windowTitle(), QStringLiteral("Evenfall Chat Log Reader"));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCOMPARE(window.centralWidget()->size(), QSize(twips::toPixels(9420), twips::toPixels(7395)));

    auto action = [&](const char *name) { return window.findChild<QAction *>(QLatin1String(name)); };
    QVERIFY(!action("mnuOptionsShowTimestamp")->isChecked());
    QVERIFY(action("mnuOptions_PublicChannel_DisplayGameFeedback")->isChecked());
    QVERIFY(action("mnuOptions_PublicChannel_DisplaySystem")->isChecked());
    QCOMPARE(window.state().options.ShowTimestamp, false);
    QCOMPARE(window.state().options.DisplayGameFeedback, true);
    QCOMPARE(window.state().options.DisplaySystem, true);

    QVERIFY(!window.findChild<QPushButton *>(QStringLiteral("cmdAddMergedChat"))->isEnabled());
    for (const char *hidden : {"cmdPagePrevious", "cmdPageNext", "lblPageLabel"}) {
        QWidget *w = window.findChild<QWidget *>(QLatin1String(hidden));
        QVERIFY2(!w->isVisible(), hidden);
        QVERIFY2(w->isEnabled(), hidden);
    }
    QVERIFY(window.findChild<QListWidget *>(QStringLiteral("lstChatNames"))->count() == 0);
    QVERIFY(window.findChild<QPlainTextEdit *>(QStringLiteral("txtChat"))->toPlainText().isEmpty());
    QTRY_COMPARE(QApplication::focusWidget(), window.findChild<QWidget *>(QStringLiteral("cmdImportFile")));

    auto *chat = window.findChild<QPlainTextEdit *>(QStringLiteral("txtChat"));
    QVERIFY(!chat->isReadOnly());
    QCOMPARE(chat->lineWrapMode(), QPlainTextEdit::NoWrap);
    QVERIFY(window.findChild<QComboBox *>(QStringLiteral("cmbFileName"))->isEditable());
    QVERIFY(window.findChild<QObject *>(QStringLiteral("flstFileName")));
    QVERIFY(window.findChild<CommonDialog *>(QStringLiteral("cdgMainDialogs")));
}

void tst_MainWindow::startUpListsLogsOfCurrentFolder()
{
    QTemporaryDir dir;
    touch(dir.filePath(QStringLiteral("client_chat_log_b.txt")));
    touch(dir.filePath(QStringLiteral("client_chat_log_a.txt")));
    touch(dir.filePath(QStringLiteral("other.txt")));
    touch(dir.filePath(QStringLiteral("client_chat_log_c.log")));
    CurrentDir cwd(dir.path());

    frmMain window;
    QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("txtFileLocation"))->text(),
             QDir::toNativeSeparators(dir.path()));
    auto *combo = window.findChild<QComboBox *>(QStringLiteral("cmbFileName"));
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->itemText(0), QStringLiteral("client_chat_log_a.txt"));
    QCOMPARE(combo->itemText(1), QStringLiteral("client_chat_log_b.txt"));
    QCOMPARE(combo->currentText(), QStringLiteral("client_chat_log_a.txt"));
}

void tst_MainWindow::startUpInFolderWithoutLogs()
{
    QTemporaryDir dir;
    CurrentDir cwd(dir.path());
    bool messageShown = false;
    ModalAnswer answer([&](QWidget *modal) {
        messageShown = true;
        modal->close();
    });
    frmMain window;
    QCoreApplication::processEvents();
    auto *combo = window.findChild<QComboBox *>(QStringLiteral("cmbFileName"));
    QCOMPARE(combo->count(), 0);
    QCOMPARE(combo->currentText(), QString());
    QVERIFY(!messageShown);
}

void tst_MainWindow::startUpInVanishedFolderReportsIt()
{
    auto *dir = new QTemporaryDir;
    const QString path = dir->path();
    CurrentDir cwd(path);
    delete dir; // the current folder is gone
    if (QDir(path).exists())
        QSKIP("could not remove the current folder");

    MessageSeen seen;
    ModalAnswer answer(acceptMessage(&seen));
    frmMain window;
    QCOMPARE(seen.count, 1);
    QCOMPARE(seen.icon, QMessageBox::Critical);
    const QString text = seen.text, title = seen.title;
    QVERIFY2(text.endsWith(QStringLiteral(" occured during Form_Load")), qPrintable(text));
    QVERIFY2(title.startsWith(QStringLiteral("Error Number: ")), qPrintable(title));
    bool ok = false;
    title.mid(14).toInt(&ok);
    QVERIFY(ok);
    QVERIFY(window.state().options.DisplayGameFeedback);
}

void tst_MainWindow::menusAndExit()
{
    frmMain window;
    struct Item {
        const char *name;
        const char *caption;
    };
    for (const Item &m : {Item{"mnuFile", "&File"}, Item{"mnuEdit", "&Edit"}, Item{"mnuOptions", "&Options"},
                          Item{"mnuOptions_PublicChannel", "Public Channel"}, Item{"mnuHelp", "&Help"}}) {
        auto *menu = window.findChild<QMenu *>(QLatin1String(m.name));
        QVERIFY2(menu, m.name);
        QCOMPARE(menu->title(), QLatin1String(m.caption));
    }
    QVERIFY(window.findChild<QMenu *>(QStringLiteral("mnuEdit"))->menuAction()->isEnabled());
    // The designed items keep only their access keys.
    for (const Item &a : {Item{"mnuFile_Exit", "E&xit"}, Item{"mnuOptionsShowTimestamp", "&Show Timestamp"},
                          Item{"mnuOptions_PublicChannel_DisplayGameFeedback", "Display Game Feedback"},
                          Item{"mnuOptions_PublicChannel_DisplaySystem", "Display System"},
                          Item{"mnuHelp_About", "&About"}}) {
        auto *action = window.findChild<QAction *>(QLatin1String(a.name));
        QVERIFY2(action, a.name);
        QCOMPARE(action->text(), QLatin1String(a.caption));
        QVERIFY(action->shortcut().isEmpty());
    }
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.findChild<QAction *>(QStringLiteral("mnuFile_Exit"))->trigger();
    QTRY_VERIFY(!window.isVisible());
}

void tst_MainWindow::tabOrderFollowsDesign()
{
    frmMain window;
    const QStringList expected = {
        QStringLiteral("txtFileLocation"),    QStringLiteral("cmdBrowsPath"),
        QStringLiteral("cmbFileName"),        QStringLiteral("cmdImportFile"),
        QStringLiteral("cmdChangeDirToLogs"), QStringLiteral("cmdChangeDirToLogs_Old"),
        QStringLiteral("lstChatNames"),       QStringLiteral("txtChatFilter"),
        QStringLiteral("cmdAddMergedChat"),   QStringLiteral("lstMergedChatNames"),
        QStringLiteral("cmdClearList"),       QStringLiteral("txtChat"),
        QStringLiteral("cmdPagePrevious"),    QStringLiteral("cmdPageNext"),
        QStringLiteral("cmdCopyToClipboard"), QStringLiteral("cmdSaveLogToFile")};
    QWidget *w = window.findChild<QWidget *>(expected.first());
    for (qsizetype i = 1; i < expected.size(); ++i) {
        w = w->nextInFocusChain();
        // Skip the inner parts of composite widgets (the combo's line edit, the view's viewport).
        while (w->focusPolicy() == Qt::NoFocus || w->objectName().isEmpty() ||
               w->objectName().startsWith(u"qt_"))
            w = w->nextInFocusChain();
        QCOMPARE(w->objectName(), expected[i]);
    }
}

void tst_MainWindow::everyControlIsNamedAndReachedWithTab()
{
    QTemporaryDir dir;
    touch(dir.filePath(QStringLiteral("client_chat_log_1.txt")));
    CurrentDir cwd(dir.path());
    frmMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    // Every control that takes the focus from the keyboard, whichever room of the window made it.
    QList<QWidget *> controls;
    for (QWidget *w : window.findChildren<QWidget *>()) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(&window) && w->isEnabled() &&
            !w->focusProxy() && !w->objectName().startsWith(u"qt_") && !w->objectName().isEmpty())
            controls.append(w);
    }
    QVERIFY(controls.size() >= 10);
    const QStringList described = {QStringLiteral("lstChatNames"), QStringLiteral("lstMergedChatNames"),
                                   QStringLiteral("txtChat")};
    for (QWidget *control : std::as_const(controls)) {
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(control);
        QVERIFY2(face, qPrintable(control->objectName()));
        QVERIFY2(!face->text(QAccessible::Name).trimmed().isEmpty(), qPrintable(control->objectName()));
        if (described.contains(control->objectName()))
            QVERIFY2(!face->text(QAccessible::Description).isEmpty(), qPrintable(control->objectName()));
    }
    QCOMPARE(
        QAccessible::queryAccessibleInterface(window.findChild<QWidget *>(QStringLiteral("txtFileLocation")))
            ->text(QAccessible::Name),
        QStringLiteral("Path"));
    // Tab from the first control goes round them all, each once, inner parts aside.
    controls.first()->setFocus(Qt::TabFocusReason);
    QList<QWidget *> reached;
    for (qsizetype i = 0; i < 2 * controls.size() && !reached.contains(QApplication::focusWidget()); ++i) {
        reached.append(QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    for (QWidget *control : std::as_const(controls))
        QVERIFY2(reached.contains(control), qPrintable(control->objectName()));
}

void tst_MainWindow::setUpIsRemembered_data()
{
    QTest::addColumn<QVariantMap>("stored");
    QTest::addColumn<QString>("folder"); // "there": a folder that exists; "gone": one that does not
    QTest::addColumn<bool>("timestamps");
    QTest::addColumn<QString>("order");
    QTest::addColumn<bool>("geometryTaken");
    const QRect geometry(40, 50, 700, 560);
    QTest::newRow("nothing stored: as at a first start")
        << QVariantMap() << "" << false << "Appearance" << false;
    QTest::newRow("what was left is taken") << QVariantMap{{"View/ShowTimestamp", true},
                                                           {"View/SortChats", "name"},
                                                           {"Window/Geometry", geometry}}
                                            << "there" << true << "Name" << true;
    QTest::newRow("nonsense is ignored item by item")
        << QVariantMap{{"View/ShowTimestamp", "banana"},
                       {"View/SortChats", "lastLine"},
                       {"Window/Geometry", QRect(-9000, -9000, 700, 560)},
                       {"Window/Maximized", 7},
                       {"Window/State", QByteArray("junk")}}
        << "gone" << false << "LastLine" << false;
    QTest::newRow("negative size") << QVariantMap{{"Window/Geometry", QRect(40, 50, -700, -560)}} << ""
                                   << false << "Appearance" << false;
}

void tst_MainWindow::setUpIsRemembered()
{
    QFETCH(QVariantMap, stored);
    QFETCH(QString, folder);
    QFETCH(bool, timestamps);
    QFETCH(QString, order);
    QFETCH(bool, geometryTaken);
    QTemporaryDir start, there;
    CurrentDir cwd(start.path());
    {
        QSettings settings = readersettings::store();
        settings.clear();
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            settings.setValue(it.key(), it.value());
        if (!folder.isEmpty())
            settings.setValue(
                QStringLiteral("Window/Folder"),
                QDir::toNativeSeparators(folder == u"there" ? there.path() : there.filePath("gone")));
    }
    auto checked = [](frmMain &window, const QString &name) {
        return window.findChild<QAction *>(name)->isChecked();
    };
    auto folderOf = [](frmMain &window) {
        return window.findChild<QLineEdit *>(QStringLiteral("txtFileLocation"))->text();
    };
    MessageSeen seen;
    ModalAnswer noBox(acceptMessage(&seen));
    {
        frmMain window;
        QCOMPARE(checked(window, QStringLiteral("mnuOptionsShowTimestamp")), timestamps);
        QVERIFY(checked(window, QStringLiteral("mnuOptions_SortChats_") + order));
        QCOMPARE(folderOf(window),
                 QDir::toNativeSeparators(folder == u"there" ? there.path() : start.path()));
        QCOMPARE(window.geometry() == QRect(40, 50, 700, 560), geometryTaken);
        QVERIFY(!window.isMaximized());
        // What this run leaves is what the next one starts with.
        window.findChild<QAction *>(QStringLiteral("mnuOptionsShowTimestamp"))->trigger();
        window.findChild<QAction *>(QStringLiteral("mnuOptions_SortChats_Name"))->trigger();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.findChild<QAction *>(QStringLiteral("mnuFile_Exit"))->trigger();
    }
    frmMain again;
    QCOMPARE(checked(again, QStringLiteral("mnuOptionsShowTimestamp")), !timestamps);
    QVERIFY(checked(again, QStringLiteral("mnuOptions_SortChats_Name")));
    QCOMPARE(folderOf(again), QDir::toNativeSeparators(folder == u"there" ? there.path() : start.path()));
    QCOMPARE(seen.count, 0);
}

void tst_MainWindow::enterPressesTheFocusedButton()
{
    QTemporaryDir empty;
    CurrentDir cwd(empty.path());
    frmMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto *import = window.findChild<QPushButton *>(QStringLiteral("cmdImportFile"));
    QTRY_COMPARE(QApplication::focusWidget(), import);
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        MessageSeen seen;
        {
            ModalAnswer answer(acceptMessage(&seen));
            QTest::keyClick(import, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        }
        QCOMPARE(seen.count, 1); // the import ran: nothing to import in an empty folder
        QCOMPARE(seen.text, QStringLiteral("No valid chat log chosen, unable to load."));
    }
    // Enter elsewhere presses nothing.
    bool boxShown = false;
    {
        ModalAnswer answer([&](QWidget *modal) {
            boxShown = true;
            modal->close();
        });
        QTest::keyClick(window.findChild<QWidget *>(QStringLiteral("lstChatNames")), Qt::Key_Return);
        QTest::keyClick(window.findChild<QWidget *>(QStringLiteral("txtFileLocation")), Qt::Key_Return);
    }
    QVERIFY(!boxShown);
}

void tst_MainWindow::smallestWindowCutsNothingOff()
{
    frmMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QSize designed = window.size();
    window.resize(300, 250);
    QTRY_VERIFY(window.width() > 300);
    QWidget *client = window.centralWidget();
    // The designed width, and everything above the chat box where it was designed.
    QCOMPARE(client->width(), twips::toPixels(9420));
    QVERIFY(window.height() < designed.height());
    for (QWidget *control : client->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (control->isVisibleTo(&window))
            QVERIFY2(client->rect().contains(control->geometry()), qPrintable(control->objectName()));
    }
    // A chat box of a few lines, with the buttons under it still whole.
    auto *chat = window.findChild<QPlainTextEdit *>(QStringLiteral("txtChat"));
    QVERIFY(chat->viewport()->height() >= 4 * chat->fontMetrics().lineSpacing());
    auto *save = window.findChild<QWidget *>(QStringLiteral("cmdSaveLogToFile"));
    QCOMPARE(save->y(), chat->geometry().bottom() + 1);
    QVERIFY(save->geometry().bottom() < client->height());
    window.resize(designed);
    QTRY_COMPARE(chat->geometry(), twips::toRect(120, 2880, 9135, 3615));
}

void tst_MainWindow::darkSchemeIsReadable()
{
    DarkPalette dark;
    frmMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QColor windowColour = window.palette().color(QPalette::Window);
    QVERIFY(windowColour.lightness() < 80);
    auto *page = window.findChild<QLabel *>(QStringLiteral("lblPageLabel"));
    page->setVisible(true);
    for (QLabel *label : window.findChildren<QLabel *>()) {
        if (label->text().isEmpty())
            continue;
        const RenderedColours colours = renderedColours(label);
        QVERIFY2(
            contrastRatio(colours.ink, colours.background) >= 4.5,
            qPrintable(label->objectName() + u' ' + colours.ink.name() + u' ' + colours.background.name()));
    }
    // The header bars stand out from the window, lighter than it as the light scheme's are darker.
    const QColor bar = renderedColours(window.findChild<QLabel *>(QStringLiteral("Label1"))).background;
    QVERIFY2(bar.lightness() > windowColour.lightness(), qPrintable(bar.name()));
    // The Find box too.
    window.findChild<QAction *>(QStringLiteral("mnuEdit_Find"))->trigger();
    QWidget *find = window.findChild<QWidget *>(QStringLiteral("frmFind"));
    QTRY_VERIFY(find && find->isVisible());
    for (QWidget *control : find->findChildren<QWidget *>()) {
        if (control->isEnabled() &&
            (qobject_cast<QLabel *>(control) || qobject_cast<QAbstractButton *>(control))) {
            const RenderedColours colours = renderedColours(control);
            QVERIFY2(contrastRatio(colours.ink, colours.background) >= 4.5,
                     qPrintable(control->objectName()));
        }
    }
}

void tst_MainWindow::commonDialogFilters()
{
    QCOMPARE(
        CommonDialog::nameFilters(QStringLiteral(
            "Evenfall Chat Logs (client_chat_log_*.txt)|client_chat_log_*.txt|All Files (*.*)|*.*")),
        QStringList({QStringLiteral("Evenfall Chat Logs (client_chat_log_*.txt) (client_chat_log_*.txt)"),
                     QStringLiteral("All Files (*.*) (*.*)")}));
    QCOMPARE(CommonDialog::nameFilters(QStringLiteral("Text File (.txt)|*.txt")),
             QStringList({QStringLiteral("Text File (.txt) (*.txt)")}));
    QCOMPARE(CommonDialog::nameFilters(QStringLiteral("Logs|*.txt;*.log|dangling")),
             QStringList({QStringLiteral("Logs (*.txt *.log)")}));
    QCOMPARE(CommonDialog::nameFilters(QString()), QStringList());
}

void tst_MainWindow::commonDialogKeepsLastChoiceOnCancel()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("client_chat_log_1.txt"));
    touch(file);
    QWidget owner;
    CommonDialog dialog(&owner);
    dialog.filter = QStringLiteral("Evenfall Chat Logs (client_chat_log_*.txt)|client_chat_log_*.txt");
    dialog.initDir = dir.path();

    QString shownFolder;
    auto open = std::make_unique<ModalAnswer>([&](QWidget *modal) {
        shownFolder = qobject_cast<QFileDialog *>(modal)->directory().absolutePath();
        chooseInFileDialog(modal, file);
    });
    QVERIFY(dialog.showOpen());
    QCOMPARE(shownFolder, QDir(dir.path()).absolutePath());
    QCOMPARE(dialog.fileName, QDir::toNativeSeparators(file));

    open.reset();
    ModalAnswer cancel(cancelDialog);
    QVERIFY(!dialog.showSave());
    QCOMPARE(dialog.fileName, QDir::toNativeSeparators(file));
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"

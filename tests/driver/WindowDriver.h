#pragma once

// Drives the main window as a user would, for the window tests and the window benchmarks: the folder
// box, the file combo, the buttons and the lists, found by their object names, clicked with the mouse.

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSemaphore>
#include <QTest>
#include <QThreadPool>

#include "GuiTestHelpers.h"
#include "frmMain.h"

class WindowDriver {
public:
    // With show, the window is shown and exposed before the driver is used.
    explicit WindowDriver(bool show = true)
    {
        if (show) {
            window.show();
            if (!QTest::qWaitForWindowExposed(&window))
                qFatal("WindowDriver: the window was never exposed");
        }
    }

    // The control named name; a missing one is a broken test or benchmark, so it ends the run.
    template <typename T> T *get(const char *name)
    {
        T *control = window.findChild<T *>(QLatin1String(name));
        if (!control)
            qFatal("WindowDriver: the window has no control %s", name);
        return control;
    }

    QLineEdit *folderBox() { return get<QLineEdit>("txtFileLocation"); }
    QComboBox *fileCombo() { return get<QComboBox>("cmbFileName"); }

    // Clicks the button and waits for the work it started, if any.
    void click(const char *button)
    {
        QTest::mouseClick(get<QPushButton>(button), Qt::LeftButton);
        waitUntilIdle(window);
    }

    // Waits until the window has no import or chat text under way and shows their outcome (message
    // boxes included: they come up, and are answered, while this waits).
    static void waitUntilIdle(frmMain &window)
    {
        if (!window.isBusy())
            return;
        QEventLoop loop;
        QObject::connect(&window, &frmMain::idle, &loop, &QEventLoop::quit);
        loop.exec();
    }
    void waitUntilIdle() { waitUntilIdle(window); }

    // Opens a log as a file argument or a drop does, and waits for the import.
    void open(const QString &path)
    {
        window.openLog(path);
        waitUntilIdle();
    }

    // Opens all logs of folder as "Open All Logs in Folder" does, and waits for the load.
    void openAllLogs(const QString &folder)
    {
        folderBox()->setText(folder);
        window.findChild<QAction *>(QStringLiteral("mnuFile_OpenAllLogs"))->trigger();
        waitUntilIdle();
    }

    // Puts folder into the folder box and fileName into the file combo, without importing.
    void chooseLog(const QString &folder, const QString &fileName)
    {
        folderBox()->setText(folder);
        fileCombo()->setEditText(fileName);
    }

    // Chooses the log and clicks "Import File".
    void import(const QString &folder, const QString &fileName)
    {
        chooseLog(folder, fileName);
        click("cmdImportFile");
    }

    // The row of "List of Chats" that shows name, or nullptr.
    QListWidgetItem *chatItem(const QString &name)
    {
        const QList<QListWidgetItem *> items =
            get<QListWidget>("lstChatNames")->findItems(name, Qt::MatchExactly);
        return items.isEmpty() ? nullptr : items.first();
    }

    // A mouse click on a row, scrolled into sight first, as a user picks it; waits for the chat text.
    static void clickItem(QListWidgetItem *item)
    {
        QListWidget *list = item->listWidget();
        list->scrollToItem(item);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
        if (auto *window = qobject_cast<frmMain *>(list->window()))
            waitUntilIdle(*window);
    }

    // Clicks the chat name in "List of Chats"; false when it is not listed.
    bool clickChat(const QString &name)
    {
        QListWidgetItem *item = chatItem(name);
        if (item)
            clickItem(item);
        return item != nullptr;
    }

    void clickRow(const char *listName, int row) { clickItem(get<QListWidget>(listName)->item(row)); }

    // Opens the merge dialog from the main window and, inside it, moves names over and applies (or
    // cancels when apply is false).
    void merge(const QStringList &names, bool apply = true)
    {
        ModalAnswer answer([&](QWidget *modal) {
            auto *left = modal->findChild<QListWidget *>(QStringLiteral("lstChatNames"));
            for (const QString &name : names)
                left->findItems(name, Qt::MatchExactly).first()->setSelected(true);
            QTest::mouseClick(modal->findChild<QPushButton *>(QStringLiteral("cmdAddToMerge")),
                              Qt::LeftButton);
            QTest::mouseClick(modal->findChild<QPushButton *>(apply ? "cmdApply" : "cmdCancel"),
                              Qt::LeftButton);
        });
        click("cmdAddMergedChat");
    }

    // The rows of "List of Chats" and of "List of Merged Chats", top to bottom.
    QStringList chatRows() { return rowsOf("lstChatNames"); }
    QStringList mergedRows() { return rowsOf("lstMergedChatNames"); }

    // The rows of the list that its filter leaves in sight, top to bottom.
    QStringList shownRows(const char *listName)
    {
        QStringList rows;
        auto *list = get<QListWidget>(listName);
        for (int i = 0; i < list->count(); ++i) {
            if (!list->isRowHidden(i))
                rows.append(list->item(i)->text());
        }
        return rows;
    }

    QStringList rowsOf(const char *listName)
    {
        QStringList rows;
        auto *list = get<QListWidget>(listName);
        for (int i = 0; i < list->count(); ++i)
            rows.append(list->item(i)->text());
        return rows;
    }

    // The text on view as the box holds it (LF between lines), and with the program's CR LF.
    QString view() { return get<QPlainTextEdit>("txtChat")->toPlainText(); }
    QString viewText() { return view().replace(u'\n', QStringLiteral("\r\n")); }

    // Whether "<- Previous", "Next ->" and the page label are shown; they always go together.
    bool pagingShown()
    {
        const bool next = get<QPushButton>("cmdPageNext")->isVisible();
        const bool previous = get<QPushButton>("cmdPagePrevious")->isVisible();
        const bool label = get<QLabel>("lblPageLabel")->isVisible();
        if (next != previous || next != label)
            qWarning("paging controls disagree");
        return next && previous && label;
    }

    QString pageLabel() { return get<QLabel>("lblPageLabel")->text(); }

    // Lets the window repaint what the last click changed, so that a timing includes the text on screen.
    static void settle()
    {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    frmMain window;
};

// Holds every thread of the window's worker pool, so that the work the window starts waits for release().
// Deterministic where a slow file would only make a race unlikely.
class PoolBlocker {
public:
    PoolBlocker()
    {
        QThreadPool *pool = frmMain::workerPool();
        threads_ = pool->maxThreadCount();
        for (int i = 0; i < threads_; ++i)
            pool->start([this] { gate_.acquire(); });
        QTRY_COMPARE(pool->activeThreadCount(), threads_);
    }
    ~PoolBlocker() { release(); }
    void release()
    {
        if (!released_)
            gate_.release(threads_);
        released_ = true;
    }

private:
    QSemaphore gate_;
    int threads_ = 0;
    bool released_ = false;
};

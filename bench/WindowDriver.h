#pragma once

// Drives the main window as a user would, for the window benchmarks and the one-shot import: the folder
// box, the file combo and the buttons, found by their object names.

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <cstdlib>

#include "BenchLogs.h"
#include "frmMain.h"

namespace benchwindow {

// The window benchmarks run headless unless told otherwise. The offscreen platform's notes about what it
// cannot do would be printed between the results, so they are dropped; every other message goes through.
inline void useOffscreenUnlessSet()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static const QtMessageHandler kPrevious = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &message) {
        if (type == QtWarningMsg && (message.contains(QLatin1String("propagateSizeHints")) ||
                                     message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR"))))
            return;
        kPrevious(type, context, message);
    });
}

template <typename T> T *control(frmMain &window, const char *name)
{
    T *control = window.findChild<T *>(QLatin1String(name));
    if (!control)
        qFatal("bench: the window has no control %s", name);
    return control;
}

inline void showAndWait(frmMain &window)
{
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        qFatal("bench: the window was never exposed");
}

// Lets the window repaint what the last click changed, so that a timing includes the text on screen.
inline void settle()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// Puts the log's folder into the folder box and its name into the file combo; the import is a
// separate step so that it alone can be timed.
inline void chooseLog(frmMain &window, const benchlogs::LogFile &log)
{
    control<QLineEdit>(window, "txtFileLocation")->setText(log.folder);
    control<QComboBox>(window, "cmbFileName")->setEditText(log.fileName);
}

inline void clickImport(frmMain &window)
{
    QTest::mouseClick(control<QPushButton>(window, "cmdImportFile"), Qt::LeftButton);
    settle();
}

inline QListWidgetItem *chatItem(frmMain &window, const QString &name)
{
    auto *list = control<QListWidget>(window, "lstChatNames");
    const QList<QListWidgetItem *> items = list->findItems(name, Qt::MatchExactly);
    return items.isEmpty() ? nullptr : items.first();
}

// A mouse click on the chat's row, as a user picks a chat.
inline void clickChat(QListWidgetItem *item)
{
    QListWidget *list = item->listWidget();
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
    settle();
}

inline void clickNext(frmMain &window)
{
    QTest::mouseClick(control<QPushButton>(window, "cmdPageNext"), Qt::LeftButton);
    settle();
}

} // namespace benchwindow

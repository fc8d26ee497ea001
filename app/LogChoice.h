#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

#include "FileListBox.h"

class CommonDialog;
class QAction;
class QComboBox;
class QLineEdit;
class QMainWindow;
class FolderBoxCheck;

// The choice of a log: the folder box, the hidden file list and the file combo, the browse dialog, the
// game's log folders, and Recent Logs. Errors of the folder box are the window's error traps, told
// through errorTrapped.
class LogChoice : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QLineEdit *folder = nullptr;
        QComboBox *files = nullptr;
        FileListBox *list = nullptr;
        CommonDialog *dialogs = nullptr;
    };
    LogChoice(QMainWindow *window, const Controls &controls, FolderBoxCheck *folderCheck);

    // Points the file list at folder and refills the combo, choosing the first log; false with the
    // error when the folder cannot be listed, the combo then keeping what it had.
    bool refreshFileList(const QString &folder, FileListBox::Error *error);
    // The same with its error shown as the error trap of the handler where.
    void refresh(const QString &folder, const QString &where);
    // The browse button: the folder and file the dialog hands back, even when it was cancelled.
    void browse();
    // The folder box set to the game's installation folder and subFolder, or a word in the status bar
    // when there is none.
    void changeDirToGameFolder(const QString &subFolder);
    // The path of the log the folder box and combo choose; nothing, said in a box, when there is none.
    std::optional<QString> chosenLog();
    // The folder box and the combo show the log at path (a file argument, a drop, Recent Logs).
    void showLog(const QString &path);

    // Recent Logs: the list to show, most recent first; an imported log heads it; an entry chosen is
    // opened when it still exists, and otherwise reported and taken off.
    static QStringList recentLogs();
    void logImported(const QString &logPath);
    void recentChosen(QAction *action);

signals:
    void errorTrapped(int number, const QString &description, const QString &where);
    void recentLogsChanged(const QStringList &logs);
    void openWanted(const QString &path);

private:
    QMainWindow *window_;
    Controls controls_;
    FolderBoxCheck *folderCheck_;
};

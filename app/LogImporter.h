#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <optional>

#include "ChatSummary.h"
#include "LogFollower.h"
#include "modMain.h"

class QWidget;
class WorkProgress;

// Reads logs on a worker thread for the window, one import at a time, with a progress dialog over the
// window that offers Cancel. The window decides what the outcome means for the user.
class LogImporter : public QObject {
    Q_OBJECT
public:
    // What an import reads and how the window names the log once it is in.
    struct Request {
        QStringList files; // local paths, read in this order as one log
        QString shownPath; // a single file as the user gave it, for its messages; empty for a folder
        QString label;     // what the progress dialog says
        QString title;     // the window title once loaded
        QString logPath;   // the log to follow once loaded; empty for a folder
        QString name;      // the log as the status bar names it
    };
    struct Outcome {
        Request request;
        modMain::LoadResult result;
        bool cancelled = false; // the user chose Cancel: whatever the load brought is to be dropped
        QString failedPath;     // the file that failed a load of several
        // Where the load of a log to follow stopped, for reading what is written to it later.
        std::optional<modMain::LogFollower> follower;
        // Of a loaded log: what the list of chats tells of each chat, and the files' encoding.
        QList<modMain::ChatSummary> summaries;
        QString encoding;
        // Its chat names in the order of the list of chats, as orderedChatNames gives them.
        QStringList rows;
        modMain::ChatOrder rowsOrder = modMain::ChatOrder::Appearance;
    };

    // The progress dialogs, when they come, are window's.
    explicit LogImporter(QWidget *window);
    // Stops an import under way and waits for it, which takes at most one read: it reads files the
    // window named.
    ~LogImporter() override;

    // The request for the log at path, as the user gave it.
    static Request fileRequest(const QString &path);
    // The request for every log of folder (as the folder box names it), in name order, which is the
    // order of the sessions. Empty, with the reason for the user in error, when the folder cannot be
    // listed or holds no logs.
    static std::optional<Request> folderRequest(const QString &folder, QString *error);

    // What the user is told of an import that failed (a single file named as the user gave it, one of a
    // folder as the file system names it); empty for one that loaded or was cancelled.
    static QString problemOf(const Outcome &outcome);

    bool isRunning() const { return watcher_ != nullptr; }
    // Brings the running import's progress dialog up at once.
    void showProgress();
    // Starts reading request on a worker thread, its chats put in order; finished() follows. One import
    // runs at a time: call only while none is running.
    void start(const Request &request, modMain::ChatOrder order);
    // The outcome of the import that has just finished; once, from the slot of finished().
    Outcome takeOutcome();

signals:
    // An import has begun; finished() follows.
    void started();
    // The import has ended, its dialog is gone and takeOutcome() has its outcome; none runs any more.
    void finished();

private:
    QWidget *window_;
    Request request_;
    QFutureWatcher<Outcome> *watcher_ = nullptr;
    QPointer<WorkProgress> progress_;
    std::optional<Outcome> outcome_;
};

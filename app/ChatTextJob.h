#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>

#include "modMain.h"

class QWidget;
class WorkProgress;

// The text of chats of a large log, built on a worker thread with a progress dialog over window that
// offers Cancel. The work shares the log, so the log stays as it is while the job lives; it cannot be
// stopped, and once the job is deleted its result is simply dropped.
class ChatTextJob : public QObject {
    Q_OBJECT
public:
    // Starts building the text of chats with options.
    ChatTextJob(QWidget *window, std::shared_ptr<const modMain::LoadedChatLog> log, const QStringList &chats,
                const modMain::DisplayOptions &options);

    // Drops the job: its dialog goes at once, neither signal comes any more, and the job is deleted once
    // control is back in the event loop (this may run inside one of its signals).
    void discard();

signals:
    // The text is built; the dialog is gone.
    void built(QString text);
    // The user chose Cancel; the dialog is gone. The job's owner deletes it (later: this is emitted from
    // inside the dialog's own signal).
    void cancelled();

private:
    QFutureWatcher<QString> watcher_;
    QPointer<WorkProgress> progress_;
};

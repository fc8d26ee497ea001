#include "ChatTextJob.h"

#include <QtConcurrent/QtConcurrentRun>

#include "MessageBoxes.h"
#include "WindowWorkers.h"
#include "WorkProgress.h"

ChatTextJob::ChatTextJob(QWidget *window, std::shared_ptr<const modMain::LoadedChatLog> log,
                         const QStringList &chats, const modMain::DisplayOptions &options)
    : QObject(window)
{
    const QString label = chats.size() == 1 ? QStringLiteral("Reading the chat %1...").arg(chats.first())
                                            : QStringLiteral("Reading the merged chats...");
    progress_ = new WorkProgress(window, kProgramName, label);
    connect(progress_, &WorkProgress::cancelled, this, &ChatTextJob::cancelled);
    connect(&watcher_, &QFutureWatcherBase::finished, this, [this] {
        QString text = watcher_.future().takeResult();
        progress_->dismiss();
        emit built(std::move(text));
    });
    // The work owns what it reads: the log is let go on the worker, after its last read.
    watcher_.setFuture(QtConcurrent::run(windowWorkers(), [log = std::move(log), chats, options] {
        return modMain::BuildChatText(log->ChatLog, chats, options);
    }));
}

void ChatTextJob::discard()
{
    disconnect(); // whoever listens hears nothing more
    watcher_.disconnect(this);
    if (progress_)
        progress_->dismiss();
    deleteLater();
}

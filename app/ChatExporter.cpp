#include "ChatExporter.h"

#include <QApplication>
#include <QMessageBox>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

#include "CommonDialog.h"
#include "LocalFiles.h"
#include "MessageBoxes.h"
#include "PlatformPaths.h"
#include "TextCodec.h"
#include "WindowWorkers.h"
#include "WorkProgress.h"

ChatExporter::ChatExporter(QWidget *window) : QObject(window), window_(window)
{
    dialog_ = new CommonDialog(window);
    dialog_->setObjectName(QStringLiteral("cdgExportChat"));
    dialog_->toLocalPath = platformpaths::toLocalPath;
    dialog_->dialogTitle = QStringLiteral("Export Chat");
    dialog_->filter = QStringLiteral("Text files (*.txt)|*.txt|Web page (*.html)|*.html");
    dialog_->addExtension = true;
}

ChatExporter::~ChatExporter()
{
    if (!watcher_)
        return;
    if (progress_)
        progress_->counters()->cancel.store(true);
    watcher_->waitForFinished();
}

bool ChatExporter::mayWrite(const QString &path, const QStringList &logFiles, const QString &title)
{
    const bool loadedLog = std::any_of(logFiles.cbegin(), logFiles.cend(),
                                       [&](const QString &log) { return localfiles::sameFile(path, log); });
    if (!loadedLog)
        return true;
    QMessageBox box(
        QMessageBox::Warning, title,
        QStringLiteral("%1 is the chat log that is loaded.\nReplace it with the text on view?").arg(path),
        QMessageBox::Yes | QMessageBox::No, window_);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void ChatExporter::tellFailure(const QString &path, const QString &error)
{
    showMessageBox(window_, QStringLiteral("Cannot write file %1:\n%2.").arg(path, error), BoxStyle::Warning,
                   QStringLiteral("Error"));
}

void ChatExporter::savePage(const QString &path, const QString &text, const QStringList &logFiles)
{
    if (!mayWrite(path, logFiles, QStringLiteral("Save Log to File")))
        return;
    QString error;
    // A FIFO that no program reads would hang the window: that is a failure here, not a wait.
    if (!modMain::writeTextFile(path, text, &error, false))
        tellFailure(path, error);
}

void ChatExporter::exportChat(Chat chat, const QStringList &logFiles)
{
    if (isRunning()) {
        if (progress_)
            progress_->showNow();
        QApplication::beep();
        return;
    }
    if (!dialog_->showSave() || !mayWrite(dialog_->fileName, logFiles, dialog_->dialogTitle))
        return;
    path_ = dialog_->fileName;
    QString title = chat.names.join(u'/');
    if (title.isEmpty())
        title = QStringLiteral("Evenfall chat");
    progress_ = new WorkProgress(window_, kProgramName, QStringLiteral("Exporting %1...").arg(title));
    const std::shared_ptr<WorkProgress::Counters> counters = progress_->counters();
    modMain::ExportOptions options;
    options.format = dialog_->filterIndex == 1 ? modMain::ExportFormat::Html : modMain::ExportFormat::Text;
    options.title = title;
    options.timestamps = chat.timestamps;
    options.cancel = &counters->cancel;
    options.progress = [counters](qint64 done, qint64 total) {
        counters->done.store(done, std::memory_order_relaxed);
        counters->total.store(total, std::memory_order_relaxed);
    };
    watcher_ = new QFutureWatcher<Outcome>(this);
    connect(watcher_, &QFutureWatcherBase::finished, this, [this] {
        const Outcome outcome = watcher_->future().takeResult();
        watcher_->deleteLater();
        watcher_ = nullptr;
        progress_->dismiss();
        if (outcome.status == modMain::ExportStatus::Failed)
            tellFailure(path_, outcome.error);
        emit finished();
    });
    // The work owns what it writes (the text is shared, not copied) and the counters it reports to.
    watcher_->setFuture(QtConcurrent::run(
        windowWorkers(), [chat = std::move(chat), options, counters, path = path_]() mutable {
            if (chat.editedSpan) {
                const modMain::PageSpan span = *chat.editedSpan;
                chat.text =
                    chat.text.left(span.start) + chat.editedPage + chat.text.mid(span.start + span.length);
            }
            Outcome outcome;
            outcome.status = modMain::exportChat(path, chat.text, options, &outcome.error);
            return outcome;
        }));
}

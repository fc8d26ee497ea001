#include "LogImporter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

#include "ChatLogFolder.h"
#include "FileListBox.h"
#include "LocalFiles.h"
#include "LogStatus.h"
#include "MessageBoxes.h"
#include "PlatformPaths.h"
#include "WindowWorkers.h"
#include "WorkProgress.h"

LogImporter::LogImporter(QWidget *window) : QObject(window), window_(window) {}

LogImporter::Request LogImporter::fileRequest(const QString &path)
{
    const QString localPath = platformpaths::toLocalPath(path);
    const QString name = QFileInfo(localPath).fileName();
    return {{localPath},
            path,
            QStringLiteral("Importing %1...").arg(name),
            name + QStringLiteral(" - ") + kProgramName,
            localPath,
            name};
}

std::optional<LogImporter::Request> LogImporter::folderRequest(const QString &folder, QString *error)
{
    const QString localFolder = platformpaths::toLocalPath(folder);
    FileListBox::Error listError;
    if (folder.isEmpty() || !FileListBox::canList(localFolder, folder, &listError)) {
        *error =
            QStringLiteral("Cannot read folder %1:\n%2.")
                .arg(folder, folder.isEmpty() ? QStringLiteral("no folder chosen") : listError.description);
        return std::nullopt;
    }
    // Listed by the rule the command line follows, and by the names' bytes: names decoded by Qt would
    // not open a name that is not valid UTF-8.
    QStringList names;
    if (!localfiles::listFiles(localFolder, modMain::isSessionLogName, &names, &listError.description)) {
        *error = QStringLiteral("Cannot read folder %1:\n%2.").arg(folder, listError.description);
        return std::nullopt;
    }
    modMain::sortSessionLogNames(names);
    QStringList files;
    files.reserve(names.size());
    const QDir dir(localFolder);
    for (const QString &name : std::as_const(names))
        files.append(dir.filePath(name));
    if (files.isEmpty()) {
        *error = QStringLiteral("There are no chat logs (client_chat_log_*.txt) in %1.").arg(folder);
        return std::nullopt;
    }
    QString folderName = QDir(localFolder).dirName();
    if (folderName.isEmpty() || folderName == u'.')
        folderName = QDir::toNativeSeparators(QDir(localFolder).absolutePath());
    const QString logs =
        files.size() == 1 ? QStringLiteral("1 log") : QStringLiteral("%1 logs").arg(files.size());
    const QString name = QStringLiteral("%1 in %2").arg(logs, folderName);
    return Request{files,
                   QString(),
                   QStringLiteral("Importing %1...").arg(name),
                   name + QStringLiteral(" - ") + kProgramName,
                   QString(),
                   name};
}

LogImporter::~LogImporter()
{
    if (!watcher_)
        return;
    if (progress_)
        progress_->counters()->cancel.store(true);
    watcher_->waitForFinished();
}

void LogImporter::showProgress()
{
    if (progress_)
        progress_->showNow();
}

void LogImporter::start(const Request &request, modMain::ChatOrder order)
{
    request_ = request;
    emit started();
    progress_ = new WorkProgress(window_, kProgramName, request.label);
    const std::shared_ptr<WorkProgress::Counters> counters = progress_->counters();
    watcher_ = new QFutureWatcher<Outcome>(this);
    connect(watcher_, &QFutureWatcherBase::finished, this, [this] {
        outcome_ = watcher_->future().takeResult();
        outcome_->request = std::move(request_);
        // Cancel takes effect at once for the user: the dialog went, and whatever the load still
        // brought is dropped.
        outcome_->cancelled = progress_->wasCancelled();
        watcher_->deleteLater();
        watcher_ = nullptr;
        progress_->dismiss();
        emit finished();
    });
    const bool follow = !request.logPath.isEmpty();
    watcher_->setFuture(QtConcurrent::run(windowWorkers(), [files = request.files, follow, counters, order] {
        modMain::LoadOptions options;
        options.cancel = &counters->cancel;
        options.progress = [&counters](qint64 done, qint64 total) {
            counters->done.store(done, std::memory_order_relaxed);
            counters->total.store(total, std::memory_order_relaxed);
        };
        Outcome outcome;
        QList<QByteArray> heads; // the first bytes of each file, which tell its encoding
        heads.reserve(files.size());
        modMain::LogFileRead fileRead = [&](QFile &file, const QString &path) {
            // Read here, where the file is open, rather than by opening thousands of files again.
            const qint64 at = file.pos();
            if (file.seek(0))
                heads.append(file.read(4));
            file.seek(at);
            // The follower starts where the load stopped, in the very file it read.
            if (follow)
                outcome.follower.emplace(path, file);
        };
        // Only regular files are read: a FIFO in their place would hang the load.
        outcome.result =
            modMain::loadChatLogs(files, options, &outcome.failedPath, localfiles::openRegularFile, fileRead);
        if (outcome.result.status == modMain::LoadStatus::Loaded && !counters->cancel.load()) {
            modMain::summarizeChats(outcome.summaries, outcome.result.log.ChatLog);
            outcome.rows = modMain::orderedChatNames(outcome.result.log, outcome.summaries, order);
            outcome.rowsOrder = order;
            outcome.encoding = LogStatus::encodingOf(heads);
        }
        return outcome;
    }));
}

LogImporter::Outcome LogImporter::takeOutcome()
{
    Outcome outcome = std::move(*outcome_);
    outcome_.reset();
    return outcome;
}

QString LogImporter::problemOf(const Outcome &outcome)
{
    const Request &request = outcome.request;
    const QString failed =
        request.shownPath.isEmpty() ? QDir::toNativeSeparators(outcome.failedPath) : request.shownPath;
    switch (outcome.cancelled ? modMain::LoadStatus::Cancelled : outcome.result.status) {
    case modMain::LoadStatus::FileError:
        return QStringLiteral("Cannot read file %1:\n%2.").arg(failed, outcome.result.errorText);
    case modMain::LoadStatus::NoLines:
        return QStringLiteral("Errors found withing chat log, unable to load.");
    case modMain::LoadStatus::OutOfMemory:
        return QStringLiteral("There is not enough memory to load file %1.").arg(failed);
    case modMain::LoadStatus::Cancelled:
    case modMain::LoadStatus::Loaded:
        break;
    }
    return QString();
}

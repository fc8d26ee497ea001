#include "FollowSession.h"

#include <QDir>
#include <QFileSystemWatcher>
#include <QTimer>

namespace {

// How often the log is read while following, whatever the file system says.
constexpr int kPollMs = 500;

// Why following the log at path ended after read.
QString abandonReason(const modMain::FollowRead &read, const QString &path)
{
    const QString shown = QDir::toNativeSeparators(path);
    QString why;
    switch (read.status) {
    case modMain::FollowStatus::Shrunk:
        why = QStringLiteral("The log %1 has become shorter.").arg(shown);
        break;
    case modMain::FollowStatus::Rewritten:
        why = QStringLiteral("The log %1 has been written anew.").arg(shown);
        break;
    case modMain::FollowStatus::Replaced:
        why = QStringLiteral("The log %1 has been replaced by another file.").arg(shown);
        break;
    case modMain::FollowStatus::Removed:
        why = QStringLiteral("The log %1 no longer exists.").arg(shown);
        break;
    case modMain::FollowStatus::ReadError:
    case modMain::FollowStatus::Read:
        why = QStringLiteral("Cannot read file %1:\n%2.").arg(shown, read.errorText);
        break;
    }
    return why + QStringLiteral("\nFollowing it has stopped; the log read so far stays loaded.");
}

} // namespace

FollowSession::FollowSession(std::function<bool()> mayRead, QObject *parent)
    : QObject(parent), mayRead_(std::move(mayRead))
{
}

void FollowSession::setFollower(std::optional<modMain::LogFollower> follower)
{
    stop();
    follower_ = std::move(follower);
}

void FollowSession::start()
{
    if (!follower_ || timer_)
        return;
    watcher_ = new QFileSystemWatcher(QStringList{follower_->path()}, this);
    connect(watcher_, &QFileSystemWatcher::fileChanged, this, &FollowSession::readAppended);
    timer_ = new QTimer(this);
    timer_->setInterval(kPollMs);
    connect(timer_, &QTimer::timeout, this, &FollowSession::readAppended);
    timer_->start();
    emit followingChanged(true);
    readAppended(); // what was written since the import shows at once
}

void FollowSession::stop()
{
    if (!timer_)
        return;
    delete watcher_;
    watcher_ = nullptr;
    delete timer_;
    timer_ = nullptr;
    emit followingChanged(false);
}

void FollowSession::readAppended()
{
    if (!timer_ || !follower_ || !mayRead_())
        return;
    modMain::FollowRead read = follower_->readAppended();
    if (read.status != modMain::FollowStatus::Read) {
        // Stopped before anyone hears of it, so that no read runs while a box about it is up.
        stop();
        const QString why = abandonReason(read, follower_->path());
        follower_.reset();
        emit abandoned(why);
        return;
    }
    if (!read.records.isEmpty() || read.dropsLast)
        emit recordsRead(read);
    if (read.more)
        QTimer::singleShot(0, this, &FollowSession::readAppended);
}

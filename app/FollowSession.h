#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

#include "LogFollower.h"

class QFileSystemWatcher;
class QTimer;

// Follows the loaded log while the user wants it: reads what is appended to it when the file system
// says it changed, and on a timer anyway, since change notices on a growing file do not come on every
// file system. A read happens only when the window allows it.
class FollowSession : public QObject {
    Q_OBJECT
public:
    // mayRead tells, before every read, whether the log in the window may change now.
    FollowSession(std::function<bool()> mayRead, QObject *parent);

    // Follows the log that follower reads from now on, or none; following stops either way.
    void setFollower(std::optional<modMain::LogFollower> follower);
    bool canFollow() const { return follower_.has_value(); }
    bool isFollowing() const { return timer_ != nullptr; }

    // Starts following and reads at once (nothing without a log to follow); stop ends it.
    void start();
    void stop();

public slots:
    // Reads once, if following and the window allows; reads again soon while more is waiting.
    void readAppended();

signals:
    // What a read brought: records (or a last record dropped) for the window to show.
    void recordsRead(const modMain::FollowRead &read);
    // The log was cut, replaced or could not be read: following has stopped and cannot start again. why
    // says so to the user.
    void abandoned(const QString &why);
    void followingChanged(bool following);

private:
    std::function<bool()> mayRead_;
    // Where the import of the loaded log ended; empty once following became impossible.
    std::optional<modMain::LogFollower> follower_;
    QFileSystemWatcher *watcher_ = nullptr;
    QTimer *timer_ = nullptr;
};

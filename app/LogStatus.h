#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QLabel;

// What the status bar says of the loaded log, at its right end beside the messages of the moment: the
// log's name, its lines and chats, its encoding, and "Following" while Follow Log reads it.
class LogStatus {
public:
    // Shows in label, which the status bar holds for good.
    explicit LogStatus(QLabel *label) : label_(label) {}

    void showLog(const QString &name, qsizetype lines, qsizetype chats, const QString &encoding);
    void showCounts(qsizetype lines, qsizetype chats);
    void showFollowing(bool following);

    // The encoding of log files as the status bar names it, from heads, the first bytes of each file
    // (four will do): each file's byte-order mark, or the log encoding without one; "mixed encodings"
    // when they differ.
    static QString encodingOf(const QList<QByteArray> &heads);

private:
    void show();

    QLabel *label_;
    QString name_;
    qsizetype lines_ = 0;
    qsizetype chats_ = 0;
    QString encoding_;
    bool following_ = false;
};

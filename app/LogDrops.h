#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QMimeData;
class QWidget;

// Drags and drops of files on the window and on its text fields: one log file is taken and opened; text
// dropped on a field is still the field's, and anything else is refused.
class LogDrops : public QObject {
    Q_OBJECT
public:
    // Watches window (which must accept drops) and targets, owned by window.
    LogDrops(QWidget *window, const QList<QWidget *> &targets);

    // The local path of the one log file that mime data carries, or empty when it carries anything else:
    // several files, a folder, a URL that is no local file.
    static QString droppedLogPath(const QMimeData *mimeData);

signals:
    // A log was dropped at path; sent once the drop has returned, so that the file manager is not kept
    // waiting.
    void logDropped(const QString &path);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *window_;
};

#include "LogDrops.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWidget>

LogDrops::LogDrops(QWidget *window, const QList<QWidget *> &targets) : QObject(window), window_(window)
{
    window->installEventFilter(this);
    for (QWidget *target : targets)
        target->installEventFilter(this);
}

QString LogDrops::droppedLogPath(const QMimeData *mimeData)
{
    if (!mimeData || !mimeData->hasUrls())
        return {};
    const QList<QUrl> urls = mimeData->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return {};
    const QString path = urls.first().toLocalFile();
    return QFileInfo(path).isFile() ? path : QString();
}

bool LogDrops::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QObject::eventFilter(watched, event);
    auto *drop = static_cast<QDropEvent *>(event);
    if (watched != window_ && !drop->mimeData()->hasUrls())
        return QObject::eventFilter(watched, event); // text for the field
    const QString path = droppedLogPath(drop->mimeData());
    if (path.isEmpty()) {
        drop->ignore();
        return true;
    }
    drop->acceptProposedAction();
    if (type == QEvent::Drop)
        QTimer::singleShot(0, this, [this, path] { emit logDropped(path); });
    return true;
}

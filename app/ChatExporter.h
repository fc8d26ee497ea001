#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <optional>

#include "ChatExport.h"
#include "modMain.h"

class CommonDialog;
class QWidget;
class WorkProgress;

// Writing the chat on view to files, for Save (the page on view) and Export Chat (the whole text, as
// text or a web page). Both follow the same rules: the log being read is replaced only when the user
// says so, devices are written in place, a FIFO that no program reads fails at once, and a failure is
// told in a box naming the file.
class ChatExporter : public QObject {
    Q_OBJECT
public:
    // The boxes and the dialogs are window's.
    explicit ChatExporter(QWidget *window);
    // An export under way is cancelled and waited for, which takes at most one piece of its writing.
    ~ChatExporter() override;

    // Save: writes text to path in the log encoding, on this thread (a page is small).
    void savePage(const QString &path, const QString &text, const QStringList &logFiles);

    // The chat on view as Export Chat takes it: its whole text, the page the user typed into (if any)
    // in place of that page as built, the chats' names and whether its lines carry timestamps.
    struct Chat {
        QString text;
        std::optional<modMain::PageSpan> editedSpan; // where the edited page stands in text
        QString editedPage;
        QStringList names;
        bool timestamps = false;
    };
    // Export Chat: asks for a file and its type, then writes the chat on a worker thread with a progress
    // dialog that offers Cancel; finished() follows unless the user cancels the file dialog or the
    // question. One export at a time: another asked for meanwhile brings the running one's progress up.
    void exportChat(Chat chat, const QStringList &logFiles);
    bool isRunning() const { return watcher_ != nullptr; }

signals:
    // The export has ended and a failure, if any, has been told.
    void finished();

private:
    struct Outcome {
        modMain::ExportStatus status = modMain::ExportStatus::Failed;
        QString error;
    };
    // Whether path may be written: unless it is one of logFiles, which the user is asked about first.
    bool mayWrite(const QString &path, const QStringList &logFiles, const QString &title);
    void tellFailure(const QString &path, const QString &error);

    QWidget *window_;
    CommonDialog *dialog_; // Export Chat's own, keeping its folder and type between uses
    QString path_;
    QFutureWatcher<Outcome> *watcher_ = nullptr;
    QPointer<WorkProgress> progress_;
};

#pragma once

#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QString>
#include <QTimer>

#include <atomic>
#include <memory>

// The progress of work on a worker thread as the user sees it: nothing while the work is short, then a
// dialog saying what is being done, with a bar and a Cancel button. The work writes the shared counters
// from its own thread; the dialog reads them on the GUI thread, so no signal crosses threads per step.
class WorkProgress : public QObject {
    Q_OBJECT
public:
    // How long work runs before its dialog comes up, in milliseconds.
    static constexpr int kDelay = 300;

    struct Counters {
        std::atomic<qint64> done{0};
        std::atomic<qint64> total{0}; // 0: unknown, the bar then only shows that work goes on
        std::atomic<bool> cancel{false};
    };

    // The dialog, when it comes, is owner's, titled title and saying label.
    WorkProgress(QWidget *owner, const QString &title, const QString &label);
    ~WorkProgress() override;

    const std::shared_ptr<Counters> &counters() const { return counters_; }
    bool wasCancelled() const { return counters_->cancel.load(); }

    // Shows the dialog now, raised above the window, whatever the time the work has taken.
    void showNow();
    // The work is over: the dialog goes at once, this object once control is back in the event loop
    // (it may be in the middle of its own signal).
    void dismiss();
    QProgressDialog *dialog() const { return dialog_; }

signals:
    // The user chose Cancel; the dialog is already gone.
    void cancelled();

private:
    void refresh();

    QWidget *owner_;
    QString title_;
    QString label_;
    std::shared_ptr<Counters> counters_ = std::make_shared<Counters>();
    QTimer timer_; // first the delay, then the refresh of the bar
    QPointer<QProgressDialog> dialog_;
};

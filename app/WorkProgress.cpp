#include "WorkProgress.h"

#include <QProgressDialog>

#include <algorithm>

namespace {
// The bar is redrawn at this pace, not at every step of the work.
constexpr int kRefreshInterval = 50;
constexpr int kBarSteps = 1000;
} // namespace

WorkProgress::WorkProgress(QWidget *owner, const QString &title, const QString &label)
    : QObject(owner), owner_(owner), title_(title), label_(label)
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &WorkProgress::showNow);
    timer_.start(kDelay);
}

WorkProgress::~WorkProgress()
{
    delete dialog_;
}

void WorkProgress::showNow()
{
    if (!dialog_) {
        // Not modal: the window stays usable with what it showed before, and QProgressDialog does not
        // run the event loop from inside setValue.
        dialog_ = new QProgressDialog(label_, QStringLiteral("Cancel"), 0, kBarSteps, owner_);
        dialog_->setObjectName(QStringLiteral("dlgWorkProgress"));
        dialog_->setWindowTitle(title_);
        dialog_->setWindowModality(Qt::NonModal);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
        dialog_->setMinimumDuration(0);
        connect(dialog_, &QProgressDialog::canceled, this, [this] {
            counters_->cancel.store(true);
            timer_.stop();
            dialog_->hide();
            emit cancelled();
        });
        timer_.disconnect();
        timer_.setSingleShot(false);
        connect(&timer_, &QTimer::timeout, this, &WorkProgress::refresh);
        timer_.start(kRefreshInterval);
        refresh();
    }
    if (counters_->cancel.load())
        return;
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
}

void WorkProgress::refresh()
{
    const qint64 total = counters_->total.load();
    if (total <= 0) {
        dialog_->setRange(0, 0);
        return;
    }
    const qint64 done = std::min(counters_->done.load(), total);
    dialog_->setRange(0, kBarSteps);
    dialog_->setValue(int(done * kBarSteps / total));
}

void WorkProgress::dismiss()
{
    timer_.stop();
    if (dialog_)
        dialog_->hide();
    deleteLater();
}

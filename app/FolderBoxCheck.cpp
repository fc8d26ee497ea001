#include "FolderBoxCheck.h"

#include <QLineEdit>

FolderBoxCheck::FolderBoxCheck(QLineEdit *box, std::function<bool(const QString &)> isFolder)
    : QObject(box), box_(box), isFolder_(std::move(isFolder))
{
    pause_.setSingleShot(true);
    pause_.setInterval(kPauseMs);
    connect(&pause_, &QTimer::timeout, this, &FolderBoxCheck::checkNow);
    connect(box, &QLineEdit::textChanged, this, &FolderBoxCheck::textChanged);
    // Enter, and leaving the box after a change.
    connect(box, &QLineEdit::editingFinished, this, &FolderBoxCheck::checkNow);
}

void FolderBoxCheck::checked(const QString &text)
{
    lastChecked_ = text;
    if (text == box_->text())
        pause_.stop();
}

void FolderBoxCheck::textChanged(const QString &text)
{
    pause_.stop();
    if (text.isEmpty() || isFolder_(text))
        checkNow();
    else
        pause_.start();
}

void FolderBoxCheck::checkNow()
{
    pause_.stop();
    if (lastChecked_ == box_->text())
        return;
    lastChecked_ = box_->text();
    emit checkWanted();
}

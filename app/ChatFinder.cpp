#include "ChatFinder.h"

#include <QMessageBox>
#include <QStatusBar>

#include "ChatPageView.h"
#include "MessageBoxes.h"
#include "frmFind.h"
#include "frmMain.h"

ChatFinder::ChatFinder(frmMain *window, ChatPageView *pages, const QList<QAction *> &boxActions)
    : QObject(window), window_(window), pages_(pages), boxActions_(boxActions)
{
}

void ChatFinder::showBox()
{
    if (!box_) {
        box_ = new frmFind(window_);
        connect(box_, &frmFind::findNextRequested, this,
                [this] { find(box_->findText(), box_->matchCase(), box_->direction()); });
        box_->addActions(boxActions_);
    }
    // A selection within one line is what the user most likely wants to find.
    const QString selected = pages_->selectedText();
    box_->showFor(selected.contains(QChar::ParagraphSeparator) ? QString() : selected);
}

void ChatFinder::findAgain(modMain::SearchDirection direction)
{
    if (lastText_.isEmpty()) {
        showBox();
        return;
    }
    find(lastText_, lastMatchCase_, direction);
}

void ChatFinder::find(const QString &text, bool matchCase, modMain::SearchDirection direction)
{
    if (text.isEmpty())
        return;
    lastText_ = text;
    lastMatchCase_ = matchCase;
    const bool down = direction == modMain::SearchDirection::Down;
    const QString &chat = window_->ChatText;

    // From the view's cursor: after the selection searching down, before it searching up. A page the
    // user has typed into no longer matches the text, so the search then takes the whole page.
    const modMain::PageSpan span = modMain::PageRange(chat, window_->CurrentPage);
    const bool pageAsBuilt = window_->PageCount > 0 && !pages_->pageEdited();
    qsizetype from = down ? span.start : span.start + span.length;
    if (pageAsBuilt)
        from = span.start + pages_->selectionOffset(QStringView(chat).mid(span.start, span.length), down);

    QStatusBar *status = window_->statusBar();
    status->clearMessage();
    const modMain::ChatMatch match =
        modMain::findInChat(chat, text, from, direction, matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive,
                            box_ && box_->wrapAround());
    if (match.position < 0) {
        QWidget *owner = box_ && box_->isVisible() ? static_cast<QWidget *>(box_) : window_;
        QMessageBox box(QMessageBox::Information, kProgramName,
                        QStringLiteral("Cannot find \"%1\"").arg(text), QMessageBox::Ok, owner);
        execWithRoomForTitle(box);
        return;
    }
    if (match.wrapped)
        status->showMessage(down ? QStringLiteral("Passed the end of the chat; continued from the top")
                                 : QStringLiteral("Passed the start of the chat; continued from the bottom"),
                            kStatusMessageMs);
    if (match.page != window_->CurrentPage || !pageAsBuilt)
        emit pageWanted(int(match.page));

    const modMain::PageSpan shown = modMain::PageRange(chat, window_->CurrentPage);
    pages_->selectInPage(QStringView(chat).mid(shown.start, shown.length), match.position - shown.start,
                         match.position + text.size() - shown.start);
    // The box moves out of the way when it covers the match.
    if (box_ && box_->isVisible())
        box_->keepClearOf(pages_->selectionOnScreen());
}

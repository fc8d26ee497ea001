#include "ChatPageView.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>

#include <algorithm>

#include "ChatSearch.h"
#include "modMain.h"

ChatPageView::ChatPageView(const Controls &controls, QObject *parent) : QObject(parent), controls_(controls)
{
    updateControls(0, 0);
}

void ChatPageView::clear()
{
    controls_.text->clear();
}

void ChatPageView::showPage(const QString &text, int page, int pageCount)
{
    const modMain::PageSpan span = modMain::PageRange(text, page);
    controls_.text->setPlainText(text.mid(span.start, span.length));
    updateControls(page, pageCount);
}

void ChatPageView::updateControls(int page, int pageCount)
{
    const bool paging = pageCount > 1;
    controls_.next->setVisible(paging);
    controls_.previous->setVisible(paging);
    controls_.label->setVisible(paging);
    controls_.label->setText(page > 0 ? QStringLiteral("Page %1 of %2").arg(page).arg(pageCount)
                                      : QStringLiteral("Page"));
    const bool back = paging && page > 1;
    const bool on = paging && page < pageCount;
    if (paging) {
        controls_.previous->setEnabled(back);
        controls_.next->setEnabled(on);
    }
    controls_.goToPage->setEnabled(paging);
    controls_.firstPage->setEnabled(back);
    controls_.previousPage->setEnabled(back);
    controls_.nextPage->setEnabled(on);
    controls_.lastPage->setEnabled(on);
}

int ChatPageView::grow(QString &text, int page, int &pageCount, const QString &added, qsizetype replaced)
{
    const bool wasAtEnd = atEnd(page, pageCount);
    std::optional<modMain::PageSpan> shown;
    if (replaced > 0)
        text.chop(replaced);
    else
        shown = modMain::PageRange(text, page);
    text += added;
    pageCount = int(modMain::PageCount(text));
    return showGrown(text, page, shown, pageCount, wasAtEnd);
}

int ChatPageView::showGrown(const QString &text, int shownPage, std::optional<modMain::PageSpan> shown,
                            int pageCount, bool atEnd)
{
    const int page = atEnd ? pageCount : std::min(shownPage, pageCount);
    if (shown && page == shownPage) {
        const modMain::PageSpan now = modMain::PageRange(text, page);
        const qsizetype shownEnd = shown->start + shown->length, nowEnd = now.start + now.length;
        if (now.start == shown->start && nowEnd >= shownEnd) {
            growPage(QStringView(text).mid(shownEnd, nowEnd - shownEnd), atEnd);
            updateControls(page, pageCount);
            return page;
        }
    }
    // Another page, or the page's last cut moved back.
    showPageKeepingScroll(text, std::max(page, 1), pageCount, page == shownPage, atEnd);
    return std::max(page, 1);
}

void ChatPageView::showPageKeepingScroll(const QString &text, int page, int pageCount, bool samePage,
                                         bool atEnd)
{
    QScrollBar *vertical = controls_.text->verticalScrollBar();
    QScrollBar *horizontal = controls_.text->horizontalScrollBar();
    const int top = vertical->value(), left = horizontal->value();
    showPage(text, page, pageCount);
    horizontal->setValue(left);
    if (atEnd)
        vertical->setValue(vertical->maximum());
    else if (samePage)
        vertical->setValue(top);
}

void ChatPageView::growPage(QStringView added, bool atEnd)
{
    if (!added.isEmpty()) {
        QTextDocument *document = controls_.text->document();
        const bool modified = document->isModified();
        document->setUndoRedoEnabled(false); // the lines read are no edit of the user's to undo
        QTextCursor end(document);
        end.movePosition(QTextCursor::End);
        end.insertText(added.toString());
        document->setUndoRedoEnabled(true);
        document->setModified(modified);
    }
    if (atEnd)
        controls_.text->verticalScrollBar()->setValue(controls_.text->verticalScrollBar()->maximum());
}

bool ChatPageView::atEnd(int page, int pageCount) const
{
    if (page < pageCount)
        return false;
    const QPlainTextEdit *box = controls_.text;
    const QScrollBar *bar = box->verticalScrollBar();
    if (bar->value() >= bar->maximum())
        return true;
    // Moving the cursor to the end scrolls only until the last line is in sight, which may be short of
    // the scroll bar's end.
    const QTextCursor bottom = box->cursorForPosition(QPoint(0, box->viewport()->height() - 1));
    return bottom.blockNumber() >= box->document()->blockCount() - 1;
}

QString ChatPageView::text(const QString &lineEnd) const
{
    QString text = controls_.text->toPlainText();
    if (lineEnd != u"\n")
        text.replace(u'\n', lineEnd);
    return text;
}

QString ChatPageView::selectedText() const
{
    return controls_.text->textCursor().selectedText();
}

void ChatPageView::copyPage() const
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
#ifdef Q_OS_WIN
    clipboard->setText(text(QStringLiteral("\r\n")));
#else
    clipboard->setText(text(QStringLiteral("\n")));
#endif
}

bool ChatPageView::pageEdited() const
{
    return controls_.text->document()->isModified();
}

qsizetype ChatPageView::selectionOffset(QStringView pageText, bool end) const
{
    const QTextCursor cursor = controls_.text->textCursor();
    return modMain::pageOffset(pageText, end ? cursor.selectionEnd() : cursor.selectionStart());
}

void ChatPageView::selectInPage(QStringView pageText, qsizetype from, qsizetype to)
{
    QTextDocument *document = controls_.text->document();
    const int last = document->characterCount() - 1;
    QTextCursor cursor(document);
    cursor.setPosition(std::min<int>(last, int(modMain::viewPosition(pageText, from))));
    cursor.setPosition(std::min<int>(last, int(modMain::viewPosition(pageText, to))),
                       QTextCursor::KeepAnchor);
    controls_.text->setTextCursor(cursor); // and scrolls it into sight
}

QRect ChatPageView::selectionOnScreen() const
{
    const QPlainTextEdit *box = controls_.text;
    QTextCursor edge = box->textCursor();
    edge.setPosition(edge.selectionStart());
    QRect selection = box->cursorRect(edge);
    edge.setPosition(box->textCursor().selectionEnd());
    selection = selection.united(box->cursorRect(edge));
    selection.moveTopLeft(box->viewport()->mapToGlobal(selection.topLeft()));
    return selection;
}

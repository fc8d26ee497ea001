#pragma once

#include <QObject>
#include <QRect>
#include <QString>
#include <QStringView>

#include <optional>

#include "modMain.h"

class QAction;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// A passive view of one page of a chat's text: the text box, the page buttons and label, and the page
// items of the Edit menu. It shows what it is told; the window keeps the text, the page and the count.
// Pages count from 1, as modMain::PageRange counts them.
class ChatPageView : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QPlainTextEdit *text = nullptr;
        QPushButton *previous = nullptr;
        QPushButton *next = nullptr;
        QLabel *label = nullptr;
        QAction *goToPage = nullptr;
        QAction *firstPage = nullptr;
        QAction *previousPage = nullptr;
        QAction *nextPage = nullptr;
        QAction *lastPage = nullptr;
    };

    // The controls start as for nothing on view.
    ChatPageView(const Controls &controls, QObject *parent);

    // Empties the text box, letting go of its document before a new text comes.
    void clear();
    // Puts page of text into the box, then updates the controls for it.
    void showPage(const QString &text, int page, int pageCount);
    // The one place that sets the page controls. The buttons and the label show while there are several
    // pages (hidden ones keep what they had); Previous and First work past the first page, Next and Last
    // before the last; Go to Page whenever there are pages to go to. The label reads "Page" while no
    // page is on view (page 0).
    void updateControls(int page, int pageCount);
    // Adds lines at the end of text while page (of pageCount) is on view, after taking its last replaced
    // characters off (lines whose end had not been written yet), and sets pageCount. The page stays, or
    // when the end of the text was in sight the view goes to the new end. When only the page on view
    // grew at its end, the new text goes after what is shown and what the user typed into the page
    // stays; otherwise the page is shown anew, keeping the horizontal scroll and, on the same page, the
    // vertical one. Returns the page now on view.
    int grow(QString &text, int page, int &pageCount, const QString &added, qsizetype replaced);

    // Whether the end of the text is in sight: the last page is shown and its last line is visible.
    bool atEnd(int page, int pageCount) const;
    // The page on view as it stands, the user's edits included, with lineEnd between its lines.
    QString text(const QString &lineEnd) const;
    QString selectedText() const;
    // Puts the page on view, as it stands, on the clipboard as plain text in the system's own line ends.
    void copyPage() const;
    // Whether the user has typed into the page, which then no longer matches the text it was built from.
    bool pageEdited() const;
    // The offset in pageText (the page as built) of the selection's end, or of its start with !end.
    qsizetype selectionOffset(QStringView pageText, bool end) const;
    // Selects pageText (the page on view as built) from offset from to offset to, scrolled into sight.
    void selectInPage(QStringView pageText, qsizetype from, qsizetype to);
    // Where the selection is on the screen: from its start to its end, the height of their lines.
    QRect selectionOnScreen() const;

private:
    // grow's showing: shown is the span of shownPage before, none when the text's end was replaced.
    int showGrown(const QString &text, int shownPage, std::optional<modMain::PageSpan> shown, int pageCount,
                  bool atEnd);
    void showPageKeepingScroll(const QString &text, int page, int pageCount, bool samePage, bool atEnd);
    void growPage(QStringView added, bool atEnd);

    Controls controls_;
};

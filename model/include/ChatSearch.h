#pragma once

#include <QStringView>
#include <QtGlobal>

// Finding text in a chat's whole text and placing a match on its page and in the text box that shows a
// page. Pure and GUI-free, like the rest of the model. Positions are 0-based.
namespace modMain {

enum class SearchDirection { Down, Up };

// The first occurrence of needle that starts at or after from, or -1. Without regard to case, letters
// compare by simple case folding as QString's comparison does, beyond the Basic Multilingual Plane
// too. An empty needle is never found.
qsizetype findForward(QStringView text, QStringView needle, qsizetype from, Qt::CaseSensitivity cs);

// The last occurrence of needle that ends at or before end, or -1.
qsizetype findBackward(QStringView text, QStringView needle, qsizetype end, Qt::CaseSensitivity cs);

// The page (from 1, as PageRange counts) that shows all of the length characters at position, or 0 when
// none does: the range crosses a cut between pages or lies outside the text. Where pages overlap (a line
// longer than a page), the later page wins.
qsizetype pageOfRange(QStringView text, qsizetype position, qsizetype length);

struct ChatMatch {
    qsizetype position = -1; // in the whole text; -1 when nothing was found
    qsizetype page = 0;      // the page that shows the match
    bool wrapped = false;    // found only after going on from the other end of the text
};

// The next match of needle in a chat's whole text as the reader's Find sees it. Down: the first that
// starts at or after from; Up: the last that ends at or before from. With wrapAround the search goes on
// once from the other end of the text, so a needle that occurs anywhere is found; without, it stops at
// the end (Down) or the start (Up). Matches that no single page shows are passed over.
ChatMatch findInChat(QStringView text, QStringView needle, qsizetype from, SearchDirection direction,
                     Qt::CaseSensitivity cs, bool wrapAround = true);

// The text box shows a page with each CR LF as one line break. These map an offset into the page's text
// to the box's position and back; offsets inside a CR LF map to the break.
qsizetype viewPosition(QStringView pageText, qsizetype offset);
qsizetype pageOffset(QStringView pageText, qsizetype viewPosition);

} // namespace modMain

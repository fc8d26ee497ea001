#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <memory>

// Whether a line's text holds a pattern: a fixed string, or a regular expression in Perl's syntax read
// as QRegularExpression reads one (Unicode text, case folded when asked). A regular expression runs with
// limits on its work, so that a pattern that backtracks without end gives up within milliseconds; such
// a line is Undecided, never taken for a line without a match. The search of the command line and the
// window's search across chats both decide with this one class.
namespace modMain {

class TextMatcher {
public:
    enum class Result { NoMatch, Match, Undecided };

    // The work a regular expression may do on one text before it gives up. The defaults decide any
    // ordinary pattern on lines of the length a log holds, and give up on a runaway one in a few
    // milliseconds; jit false uses the interpreter alone (slower; the same results within the limits).
    struct Limits {
        quint32 match = 1'000'000;   // backtracking steps
        quint32 depth = 250'000;     // nesting of backtracking points (the interpreter's)
        quint32 heapKiB = 64 * 1024; // the interpreter's memory for them
        quint32 jitStackKiB = 1024;  // the compiled code's stack
        bool jit = true;
    };

    // An empty fixed string is in every text, as grep has it.
    TextMatcher(const QString &pattern, bool regex, bool ignoreCase);
    TextMatcher(const QString &pattern, bool regex, bool ignoreCase, const Limits &limits);
    ~TextMatcher();
    TextMatcher(TextMatcher &&) noexcept;
    TextMatcher &operator=(TextMatcher &&) noexcept;

    // False when the regular expression does not compile; errorString() says why, errorOffset() where
    // (0-based, in UTF-16 units of the pattern).
    bool isValid() const;
    QString errorString() const;
    qsizetype errorOffset() const;

    // A text every matching text holds, so that a reader can pass over the lines without it unread;
    // empty when there is none to tell.
    QString requiredText() const;

    // Not for two threads at once: a regular expression keeps its working memory between calls. A
    // surrogate that is not half of a pair (a UTF-16 log may hold one) matches as U+FFFD, the character
    // a line is printed with.
    Result match(QStringView text);
    // As match(), and for a Match where the first match lies in text: *start and *length in UTF-16 units
    // (a regular expression may match an empty text).
    Result find(QStringView text, qsizetype *start, qsizetype *length);

private:
    Result matchRegex(QStringView text);

    struct Regex;
    QString pattern_;
    bool regex_ = false;
    Qt::CaseSensitivity caseSensitivity_ = Qt::CaseSensitive;
    std::unique_ptr<Regex> compiled_;
};

} // namespace modMain

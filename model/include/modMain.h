#pragma once

#include <QIODevice>
#include <QList>
#include <QSet>

#include <QString>
#include <QStringList>
#include <QStringView>
#include <atomic>
#include <functional>

#include "ChatLogRecords.h"
#include "DateTime.h"

// The chat log model: parsing, loading, text assembly and the nearest-occurrence search.
// Everything here is pure and GUI-free; callers decide what the user sees.
namespace modMain {

// One parsed line of a chat log. A plain value: copying it copies (shares) its strings.
struct ChatLine {
    double TimeStamp = 0.0; // days since 1899-12-30 00:00:00, fraction = time of day; 0 = none
    QString ChatName;       // channel name, the other player of a tell, or "Public/Global"
    bool IsChannel = false;
    bool IsTell = false;
    QString Text; // the line after its timestamp, untrimmed
    bool IsGameFeedback = false;
    bool IsSystem = false; // never set by the parser: no line counts as a system line
};

inline const QString kPublicChatName = QStringLiteral("Public/Global");

// Classifies one line (without its terminator). Never fails: lines of unusual shape are parsed by the
// documented fallbacks (a bracketed text that is no date is not a timestamp; a line with nothing after
// its timestamp, or a tell to nobody, is public).
ChatLine ParseChatLine(const QString &line);

// Returns the text between the first openDelimiter and the first closeDelimiter after it (searches
// ignore case). An empty closeDelimiter means openDelimiter closes too; an empty openDelimiter takes the
// text up to the first closeDelimiter found from the second character on. With consume, text loses
// everything up to and including the closing delimiter, when one was found.
QString ExtractDelimited(QString &text, const QString &openDelimiter, const QString &closeDelimiter,
                         bool consume);

// The path with a separator appended unless it already ends with one; "" gives a lone separator. On
// Windows the separator is "\"; elsewhere a path ending in "\" or "/" is kept and "/" is appended.
QString AddTrailingBackslash(const QString &path);

struct DisplayOptions {
    bool ShowTimestamp = false;
    bool DisplayGameFeedback = true;
    bool DisplaySystem = true;
};

// The lines of the selected chats in file order (merged chats interleave), each followed by CR LF,
// prefixed by "[mm/dd/yyyy hh:nn:ss]" when ShowTimestamp is set. Empty when nothing matches.
QString BuildChatText(const QList<ChatLine> &chatLog, const QStringList &selection,
                      const DisplayOptions &options);
// The same from a loaded log. The text is allocated once, at its final size.
QString BuildChatText(const ChatLogRecords &chatLog, const QStringList &selection,
                      const DisplayOptions &options);

// The 1-based position of the occurrence of find nearest to position (clamped into the text), looking
// at most range characters away (-1: the whole text); the earlier one wins a tie. -1 when find does not
// occur in text, either is empty, or nothing lies within reach. Whether find occurs is decided exactly;
// the occurrences near position compare without regard to case, as QString's case-insensitive
// comparison does: code point by code point by Unicode simple case folding, so "ẞ" matches "ß" and
// letters beyond the Basic Multilingual Plane fold too, while a fold that changes the length ("ß" to
// "ss") does not apply. Positions and lengths count UTF-16 units.
qsizetype FindNearest(QStringView text, QStringView find, qsizetype position, qsizetype range);

// Paging: a text is shown in pages of about kPageSize characters, each cut at the line end (CR LF)
// nearest to its boundary, so that consecutive pages join without loss or overlap and the CR LF at a
// cut shows on neither page.
inline constexpr qsizetype kPageSize = 65000;

// The number of pages of text: its length divided by kPageSize, rounded up; 0 for an empty text.
qsizetype PageCount(QStringView text);

// Where page (from 1) of text lies: a 0-based start and a length. A line longer than a page can put
// both cuts of a page at the same line end; the page then runs from its start to the end of the text.
// A page below 1 is taken as page 1; a page beyond the last is empty or the text's tail, as its cuts
// fall.
struct PageSpan {
    qsizetype start = 0;
    qsizetype length = 0;
};
PageSpan PageRange(QStringView text, qsizetype page);

// One chat log read into memory.
struct LoadedChatLog {
    ChatLogRecords ChatLog; // one record per non-empty line after the first, in file order
    QStringList ChatNames;  // distinct chat names in order of first appearance, compared exactly

    // Adds the records of other after these (another log, or lines that came later), and its chat
    // names that are new here after these names, in its order.
    void append(LoadedChatLog &&other);
    // Adds a record at the end, and its chat name to ChatNames unless it is there; true when it was new.
    bool appendRecord(const ChatLine &record);
    // Puts name at the end of ChatNames unless it is there already; true when it was added.
    bool addChatName(const QString &name);
    // Takes name out of ChatNames, when it is there.
    void removeChatName(const QString &name);

private:
    // Whether ChatNames is the records' own table of names, shared, as the loader leaves it: a name is
    // then new when the table grows, and no set is needed.
    bool namesAreTheTable() const;
    // ChatNames as a set, kept from one call to the next: a log read from thousands of files, or
    // followed a line at a time, then costs what each part adds, not what the log holds. A ChatNames
    // changed by other means is seen by its size or storage, and the set made anew.
    void knowNames();
    QSet<QString> knownNames_;
    const QString *knownFor_ = nullptr;
};

enum class LoadStatus {
    Loaded,      // log holds the file's records
    NoLines,     // the file was read but holds no line after its first
    FileError,   // the file could not be opened or read whole; errorText says why
    OutOfMemory, // the records did not fit into the memory the process could get
    Cancelled,   // the caller's cancel flag was raised before the load was done
};

struct LoadResult {
    LoadStatus status = LoadStatus::FileError;
    QString errorText;
    LoadedChatLog log;
};

// How LoadChatLog reads its file. None of this changes the records a file gives.
struct LoadOptions {
    qsizetype readSize = qsizetype(1) << 18; // bytes asked for by each read; below 1 is taken as 1
    // Called from the thread that called the loader, after each of its reads, with the bytes read so far
    // (by every thread of the load) and the size of the file when it was opened (0 for a pipe). It must
    // be cheap: it is called every readSize bytes.
    std::function<void(qint64 bytesRead, qint64 bytesTotal)> progress;
    // When set and raised (from any thread), the load stops at its next read and is Cancelled.
    const std::atomic<bool> *cancel = nullptr;
    // The number of parts a file is cut into, at line ends, to be parsed at the same time on the
    // machine's cores; 0 picks one for the file's size (a small file is one part). A file is read in
    // parts only where it can be read at any position (a regular file); a pipe is always read in one
    // go.
    int parts = 0;
};

// Reads a whole chat log. The first line is a header and is skipped; empty lines are skipped. The bytes
// are decoded as log files are written (see TextCodec.h) and lines end at CR LF, LF or a lone CR. Time
// grows linearly with the file's size, whatever the length of its lines. The records do not depend on
// the options: a file parsed in parts gives those of reading it in one go.
// All or nothing: unless the status is Loaded, log is empty. A file that ends before the size it had
// when it was opened (cut short by another program meanwhile) is a FileError; running out of memory
// is OutOfMemory, not an exception, and what was read so far is freed.
LoadResult LoadChatLog(const QString &path, const LoadOptions &options = {});

// The same, from a device the caller has opened for reading (a file opened with checks of its own, or
// standard input), read from where it stands to its end. A device that is not sequential is expected
// to keep the size it had when the load began.
LoadResult LoadChatLog(QIODevice &device, const LoadOptions &options = {});

// One line of a log as the reader hands it on: views into the reader's buffer, valid only during the
// call. The record it gives is ParseChatLine(line).
struct LogLine {
    QStringView line;        // the whole line, without its line end
    qint64 number = 0;       // its place in the file: the header is line 1, and empty lines count
    QStringView chatName;    // kPublicChatName for a public line
    qsizetype textStart = 0; // the record's Text is line.sliced(textStart)
    double timeStamp = 0.0;
    bool isChannel = false;
    bool isTell = false;
    bool isGameFeedback = false;
    QStringView text() const { return line.sliced(textStart); }
};

// Reads a log as LoadChatLog does but keeps nothing: each record's line goes to sink in file order, as
// soon as it is read; with onlyChats, only the lines of those chats (names compared exactly); with
// textContains, only the lines whose text holds it (compared exactly). The result's log stays empty;
// its status is what LoadChatLog's would be (NoLines for a file without records, whatever the filters
// hold). A failure can come after some lines have been handed on.
LoadResult readLogLines(QIODevice &device, const LoadOptions &options,
                        const std::function<void(const LogLine &)> &sink, const QStringList &onlyChats = {},
                        const QString &textContains = {});

// What a log holds of each chat, counted without keeping its lines.
struct ChatCount {
    qsizetype lines = 0;
    double first = 0.0; // the timestamps of its first and last line that has one; 0: none has
    double last = 0.0;
    bool channel = false; // the kinds of its lines: a name may be used more than one way
    bool tell = false;
    bool publicChat = false;
};

// Reads a log as LoadChatLog does, in parts at once where it can, and counts each chat's lines:
// names in order of first appearance, counts beside them. The status is LoadChatLog's; unless Loaded,
// both lists are empty.
LoadResult countChats(QIODevice &device, const LoadOptions &options, QStringList *names,
                      QList<ChatCount> *counts);

} // namespace modMain

Q_DECLARE_TYPEINFO(modMain::ChatLine, Q_RELOCATABLE_TYPE);

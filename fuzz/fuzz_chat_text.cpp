// Text assembly, paging and the nearest-line-end search on a log loaded from the input: the text is that
// of assembling it record by record, its pages join back into it, and FindNearest finds what the
// step-by-step search finds.

#include <QBuffer>

#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "ReferenceModel.h"
#include "modMain.h"

namespace {

const QString kLineEnd = QStringLiteral("\r\n");

// The input's bytes, taken from its end so that the log's own bytes stay at its start.
class Choices {
public:
    Choices(const std::uint8_t *data, std::size_t size) : data_(data), left_(size) {}
    std::uint8_t next() { return left_ > 0 ? data_[--left_] : 0; }

private:
    const std::uint8_t *data_;
    std::size_t left_;
};

void checkPages(const QString &text)
{
    const qsizetype count = modMain::PageCount(text);
    FUZZ_CHECK(count == (text.size() + modMain::kPageSize - 1) / modMain::kPageSize);
    qsizetype expectedStart = 0;
    QString joined;
    bool regular = true; // every cut fell on its own line end
    for (qsizetype page = 1; page <= count; ++page) {
        const modMain::PageSpan span = modMain::PageRange(text, page);
        FUZZ_CHECK(span.start >= 0 && span.length >= 0 && span.start + span.length <= text.size());
        if (span.start != expectedStart)
            regular = false;
        joined += text.mid(span.start, span.length);
        if (page < count && text.mid(span.start + span.length, 2) == kLineEnd) {
            joined += kLineEnd;
            expectedStart = span.start + span.length + 2;
        } else if (page < count) {
            regular = false;
        }
    }
    // With lines shorter than half a page, every cut is a line end of its own: nothing lost, nothing twice.
    qsizetype longest = 0, lineStart = 0;
    for (qsizetype at = text.indexOf(kLineEnd); at >= 0; at = text.indexOf(kLineEnd, lineStart)) {
        longest = std::max(longest, at - lineStart);
        lineStart = at + 2;
    }
    // The last page holds what follows the last cut; when that cut took the text's final line end (the
    // text runs less than half a line past a page boundary), the last page is empty.
    if (longest < modMain::kPageSize / 2) {
        FUZZ_CHECK(regular);
        const bool emptyLast = count > 0 && modMain::PageRange(text, count).length == 0;
        FUZZ_CHECK(joined + (emptyLast ? QString() : kLineEnd) == text ||
                   (text.isEmpty() && joined.isEmpty()));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const modMain::LoadResult loaded = modMain::LoadChatLog(buffer);
    const modMain::LoadedChatLog &log = loaded.log;

    Choices choose(data, size);
    const std::uint8_t flags = choose.next();
    modMain::DisplayOptions options;
    options.ShowTimestamp = flags & 1;
    options.DisplayGameFeedback = flags & 2;
    options.DisplaySystem = flags & 4;
    QStringList selection;
    for (int i = 0, picks = choose.next() % 5; i < picks; ++i) {
        const int pick = choose.next();
        // A name of the log, now and then one it lacks or one given twice.
        selection.append(log.ChatNames.isEmpty() || pick == 255 ? QStringLiteral("Nobody")
                                                                : log.ChatNames[pick % log.ChatNames.size()]);
    }

    const QString text = modMain::BuildChatText(log.ChatLog, selection, options);
    FUZZ_CHECK(text == reference::chatText(log.ChatLog, selection, options));
    checkPages(text);
    // Enough copies of the text for several pages.
    if (!text.isEmpty())
        checkPages(text.repeated(3 * modMain::kPageSize / text.size() + 1));

    // The nearest occurrence of a piece of the text, or of a letter, near a chosen place of its start.
    const QString head = text.left(300);
    const QString finds[] = {kLineEnd, head.mid(choose.next() % 300, 1 + choose.next() % 3),
                             QString(QChar(char16_t(choose.next() | choose.next() << 8)))};
    for (const QString &find : finds) {
        const qsizetype position = qsizetype(choose.next()) - 20;
        const qsizetype range = qsizetype(choose.next() % 40) - 2;
        FUZZ_CHECK(modMain::FindNearest(head, find, position, range) ==
                   reference::findNearest(head, find, position, range));
    }
    return 0;
}

// ParseChatLine on any line of UTF-16 units (lone surrogates and NULs included), held against the rules
// of a record, and against the loader, which classifies lines by its own faster path.

#include <QBuffer>

#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "ReferenceModel.h"
#include "modMain.h"

namespace {

const QStringView kFeedbackTexts[] = {
    u"You have gathered",
    u"You are too far away from the resource node to gather resources from it.",
    u"You have received",
};

QString trimmedOfSpaces(const QString &text)
{
    qsizetype b = 0, e = text.size();
    while (b < e && text[b] == u' ')
        ++b;
    while (e > b && text[e - 1] == u' ')
        --e;
    return text.sliced(b, e - b);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QString line(qsizetype(size / 2), Qt::Uninitialized);
    for (qsizetype i = 0; i < line.size(); ++i)
        line[i] = QChar(char16_t(data[2 * i] | data[2 * i + 1] << 8));

    const modMain::ChatLine record = modMain::ParseChatLine(line);
    // Text is the line after its timestamp, unchanged.
    FUZZ_CHECK(line.endsWith(record.Text));
    FUZZ_CHECK(!record.IsSystem);
    FUZZ_CHECK(!(record.IsChannel && record.IsTell));
    // Only public lines are feedback, and public lines belong to the public chat.
    if (!record.IsChannel && !record.IsTell)
        FUZZ_CHECK(record.ChatName == modMain::kPublicChatName);
    if (record.IsGameFeedback) {
        FUZZ_CHECK(!record.IsChannel && !record.IsTell);
        const QString trimmed = trimmedOfSpaces(record.Text);
        bool begins = false;
        for (QStringView feedback : kFeedbackTexts)
            begins = begins || trimmed.startsWith(feedback);
        FUZZ_CHECK(begins);
    }
    // A channel's name is the text before a colon inside its brackets, so it never holds either.
    if (record.IsChannel)
        FUZZ_CHECK(!record.ChatName.contains(u']'));

    // The timestamp prints in its fixed width, whatever date the line gave.
    modMain::DisplayOptions stamped;
    stamped.ShowTimestamp = true;
    const QString shown = modMain::BuildChatText({record}, {record.ChatName}, stamped);
    FUZZ_CHECK(shown == u'[' + modMain::formatTimestamp(record.TimeStamp) + u']' + record.Text +
                            QStringLiteral("\r\n"));
    FUZZ_CHECK(modMain::formatTimestamp(record.TimeStamp).size() == 19);

    // A log of a header and this one line gives this one record.
    if (!line.isEmpty() && !line.contains(u'\r') && !line.contains(u'\n')) {
        QByteArray bytes("\xFF\xFEh\0\n\0", 6);
        bytes.append(reinterpret_cast<const char *>(line.utf16()), line.size() * 2);
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        modMain::LoadOptions small;
        small.readSize = 4096;
        const modMain::LoadResult loaded = modMain::LoadChatLog(buffer, small);
        FUZZ_CHECK(loaded.status == modMain::LoadStatus::Loaded);
        FUZZ_CHECK(loaded.log.ChatLog.size() == 1);
        FUZZ_CHECK(reference::sameRecord(loaded.log.ChatLog[0], record));
    }
    return 0;
}

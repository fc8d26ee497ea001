// LoadChatLog on any file: the records are those of decoding the whole file in one go and parsing each
// line on its own (the reference model, which never reads bytes as lines), and they are the same for any
// read size and any number of parts read at once. Logs in windows-1252 and UTF-8 are split and parsed on
// their bytes, so this holds that reader to the decoded one.

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "ReferenceModel.h"
#include "modMain.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir dir;
    static const QString kPath = dir.filePath(QStringLiteral("client_chat_log_fuzz.txt"));
    const QByteArrayView bytes(data, qsizetype(size));
    {
        QFile file(kPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes.data(), bytes.size()) != bytes.size())
            std::abort();
    }

    const modMain::LoadedChatLog expected = reference::load(bytes);
    modMain::LoadOptions oneRead;
    oneRead.readSize = qsizetype(size) + 1;
    const modMain::LoadResult whole = modMain::LoadChatLog(kPath, oneRead);
    FUZZ_CHECK(whole.status ==
               (expected.ChatLog.isEmpty() ? modMain::LoadStatus::NoLines : modMain::LoadStatus::Loaded));
    FUZZ_CHECK(reference::firstDifference(whole.log, expected) < 0);

    // Reads of a size the input chooses, and of one byte: every boundary falls somewhere else.
    const std::uint8_t last = size > 0 ? data[size - 1] : 0;
    for (const qsizetype readSize : {qsizetype(1), qsizetype(2 + last % 61)}) {
        modMain::LoadOptions options;
        options.readSize = readSize;
        const modMain::LoadResult pieces = modMain::LoadChatLog(kPath, options);
        FUZZ_CHECK(pieces.status == whole.status);
        FUZZ_CHECK(reference::firstDifference(pieces.log, whole.log) < 0);
    }
    // Parts cut where the input chooses: each starts at a line start searched for in the bytes.
    modMain::LoadOptions inParts;
    inParts.parts = 2 + last % 5;
    inParts.readSize = 1 + last % 7;
    const modMain::LoadResult parts = modMain::LoadChatLog(kPath, inParts);
    FUZZ_CHECK(parts.status == whole.status);
    FUZZ_CHECK(reference::firstDifference(parts.log, whole.log) < 0);
    return 0;
}

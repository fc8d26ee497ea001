// show: the text of chats of one log, as the reader shows it, to standard output or to a file.

#include "ChatNameTable.h"
#include "ChatReading.h"
#include "CommandTable.h"
#include "LocalFiles.h"
#include "LogFiles.h"
#include "NativeNames.h"
#include "PlatformPaths.h"
#include "TextOutput.h"

namespace chatlogcli {
namespace {

// Whether the file to write can be written without harm; says why not when it cannot.
bool outputAllowed(const Terminal &terminal, const QString &path, const QString &target)
{
    // Checked before anything is read. The same file by another name (a link) counts too.
#ifdef Q_OS_UNIX
    const QByteArray logName = path == kStandardInput ? QByteArray("/dev/stdin") : nativePath(path);
#else
    const QByteArray logName = path == kStandardInput ? QByteArray() : nativePath(path);
#endif
    if (!logName.isEmpty() && localfiles::sameFile(logName, nativePath(target))) {
        terminal.message(QStringLiteral("%1: refusing to overwrite the log being read").arg(target));
        return false;
    }
    // The atomic replace goes by Qt's file names, which cannot hold every byte.
    if (nativenames::hasRawBytes(target)) {
        terminal.message(
            QStringLiteral("%1: cannot write to a file name that is not valid UTF-8").arg(target));
        return false;
    }
    return true;
}

} // namespace

int showCommand(const Invocation &call)
{
    const Terminal &terminal = call.terminal;
    const QString &path = call.arguments[0];
    const QString target = call.parser.value(call.options.output);
    const bool toFile = call.isSet(call.options.output);
    if (toFile && !outputAllowed(terminal, path, target))
        return ExitFailure;

    QFile file;
    if (!openOrSay(terminal, file, path))
        return ExitFailure;

    // Exactly the lines shown, so an empty chat gives an empty file. The window's save adds one CR LF
    // after the text on view; for an export that would be an empty line no chat ever had, and files
    // joined end to end would gain blank lines between them.
    TextOutput output =
        toFile ? TextOutput(platformpaths::commandLinePath(target), target) : TextOutput(terminal.out());
    const QStringList selection = distinct(call.arguments.mid(1));
    ChatsFound found(selection);
    const bool allowMissing = call.isSet(call.options.allowMissing);
    // Nothing goes out while a name may still turn out unknown: that fails the whole command.
    if (!allowMissing)
        output.hold();
    const LineStyle style = lineStyle(call);

    // A file can be read again to name its chats when a name is unknown; a pipe cannot, so its
    // chats are noted as it goes and its lines are picked here.
    const bool again = !file.isSequential();
    const qint64 start = file.pos();
    modMain::ChatNameTable seen;
    std::atomic<bool> stop = false;
    const auto pick = [&](const modMain::LogLine &line) {
        if (!again)
            seen.intern(line.chatName);
        const qsizetype index = found.indexOf(line.chatName);
        if (index < 0)
            return;
        if (found.note(index) && !allowMissing)
            output.release();
        if (!line.isGameFeedback || style.gameFeedback)
            writeLine(output, line, style);
        if (output.failed())
            stop.store(true, std::memory_order_relaxed);
    };
    if (!readWholeLog(terminal, file, path, pick, again ? selection : QStringList(), &stop))
        return ExitFailure;
    if (!output.failed() && !found.all() && !allowMissing) {
        output.drop();
        if (again) {
            file.seek(start);
            readLog(terminal, file, shownName(path),
                    [&](const modMain::LogLine &line) { seen.intern(line.chatName); });
        }
        QString message = QStringLiteral("%1: no chat named %2; the chats in it are:")
                              .arg(shownName(path), inQuotes(found.missing()));
        for (const QString &name : seen.names())
            message += QStringLiteral("\n  ") + inQuotes(name);
        terminal.message(message);
        return ExitFailure;
    }
    return terminal.finish(output);
}

} // namespace chatlogcli

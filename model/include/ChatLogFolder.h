#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

#include <functional>

#include "modMain.h"

// Several logs read as one: the sessions of a player, one file each, in the order given.
namespace modMain {

// The one rule for the logs of a folder, which the window and the command line both follow. A session
// log is named client_chat_log_*.txt, the case of the letters aside.
bool isSessionLogName(QStringView name);

// Puts names of session logs in the order of their sessions: by name without regard to case, since the
// game names a log by the date and time its session began; names that differ only in case by their
// characters, so that the order never depends on the order of listing.
void sortSessionLogNames(QStringList &names);

// Opens the log at path for reading; false with the reason in *error. The caller decides what may be
// read (a window must never wait on a FIFO); the default opens any file QFile can.
using OpenLogFile = std::function<bool(QFile &file, const QString &path, QString *error)>;
// Told of each file read to its end, while it is still open where the read stopped: for a caller that
// goes on reading what is written to it later.
using LogFileRead = std::function<void(QFile &file, const QString &path)>;

// Loads the logs at paths, in that order, as one log: the records of every file in turn, the chat names
// in order of first appearance across them. A file without records adds nothing; NoLines only when
// none has any. All or nothing, as LoadChatLog: the first file that cannot be opened or read, or that
// does not fit into memory, fails the whole load, and *failedPath (when given) names it. Progress counts
// the bytes of all files together; cancel is looked at between and within files. Small files are read
// several at once on the machine's cores: open may be called from other threads, and fileRead, when
// given, is called from the thread that read the file, one call at a time, after each file that was read
// without failure, records or not.
LoadResult loadChatLogs(const QStringList &paths, const LoadOptions &options = {},
                        QString *failedPath = nullptr, const OpenLogFile &open = {},
                        const LogFileRead &fileRead = {});

} // namespace modMain

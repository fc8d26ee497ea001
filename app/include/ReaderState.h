#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

#include "MergedChats.h"
#include "modMain.h"

// What the reader holds for the whole run: the loaded log, its chat names, the merged chats and the
// display options. Owned by the main window; dialogs get references to the parts they need.
struct ReaderState {
    // The loaded log and its chat names. Workers that build chat text share it, so it is replaced
    // whole; only Follow Log adds to it in place, and only while no worker holds it.
    std::shared_ptr<modMain::LoadedChatLog> log = std::make_shared<modMain::LoadedChatLog>();
    MergedChatTable MergedChats;
    modMain::DisplayOptions options; // ShowTimestamp, DisplayGameFeedback, DisplaySystem
    QString logPath;                 // the imported log file as the file system names it; empty before
                                     // an import and after opening all logs of a folder
    QStringList logFiles;            // every file the loaded log was read from

    // Whether the reader alone holds the log, so that it may change in place: no worker reads it.
    bool logHeldAlone() const
    {
        if (log.use_count() != 1)
            return false;
        // The count fell to 1 when the last worker let go of the log, which it did after its last read;
        // this fence orders those reads before the changes that follow.
        std::atomic_thread_fence(std::memory_order_acquire);
        return true;
    }
};

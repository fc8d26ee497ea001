#pragma once

#include <QList>
#include <QString>
#include <QStringList>

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
};

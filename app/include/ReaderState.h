#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "MergedChats.h"
#include "modMain.h"

// What the reader holds for the whole run: the loaded log, its chat names, the merged chats and the
// display options. Owned by the main window; dialogs get references to the parts they need.
struct ReaderState {
    QList<modMain::ChatLine> ChatLog;
    QStringList ChatNames;
    MergedChatTable MergedChats;
    modMain::DisplayOptions options; // ShowTimestamp, DisplayGameFeedback, DisplaySystem
    QString logPath;                 // the loaded log as the file system names it; empty before an import
};

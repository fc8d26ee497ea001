#pragma once

#include <memory>

#include "LogImporter.h"
#include "frmMain.h"

// An import whose chats are being listed; the window takes its log in after the last row. Complete
// wherever the window is made or destroyed.
struct frmMain::ListedImport {
    LogImporter::Outcome outcome;
    std::shared_ptr<modMain::LoadedChatLog> log;
};

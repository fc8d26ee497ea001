#include "LogChoice.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMainWindow>
#include <QStatusBar>

#include "CommonDialog.h"
#include "FolderBoxCheck.h"
#include "MessageBoxes.h"
#include "PlatformPaths.h"
#include "RecentLogs.h"
#include "modMain.h"
#include "modRegistryTools.h"

namespace {

const QString kGameKey = QStringLiteral("SOFTWARE\\KestrelGames\\Evenfall");
const QString kBrowseFilter =
    QStringLiteral("Evenfall Chat Logs (client_chat_log_*.txt)|client_chat_log_*.txt|All Files (*.*)|*.*");

} // namespace

LogChoice::LogChoice(QMainWindow *window, const Controls &controls, FolderBoxCheck *folderCheck)
    : QObject(window), window_(window), controls_(controls), folderCheck_(folderCheck)
{
}

bool LogChoice::refreshFileList(const QString &folder, FileListBox::Error *error)
{
    if (!controls_.list->setPath(folder, error))
        return false;
    QComboBox *files = controls_.files;
    files->clear();
    files->clearEditText();
    files->addItems(controls_.list->items());
    if (files->count() > 0)
        files->setEditText(files->itemText(0));
    return true;
}

void LogChoice::refresh(const QString &folder, const QString &where)
{
    folderCheck_->checked(folder);
    FileListBox::Error error;
    if (!refreshFileList(folder, &error))
        emit errorTrapped(error.number, error.description, where);
}

void LogChoice::browse()
{
    CommonDialog *dialogs = controls_.dialogs;
    dialogs->filter = kBrowseFilter;
    dialogs->initDir = controls_.folder->text();
    dialogs->showOpen();
    // A cancelled dialog still hands back the path chosen last (or nothing), as the original does.
    const QString path = dialogs->fileName;
    const qsizetype cut = platformpaths::lastSeparator(path);
    const QString folder = path.left(cut + 1);
    const QString fileName = path.mid(cut + 1);
    controls_.folder->setText(folder);
    // Refreshed again even when the folder box already showed this folder. A folder that vanished
    // meanwhile is reported like the folder box's own errors.
    refresh(folder, QStringLiteral("cmdBrowsPath_Click"));
    controls_.files->setEditText(fileName);
}

void LogChoice::changeDirToGameFolder(const QString &subFolder)
{
    QString value;
    if (!modRegistryTools::ReadRegistryValue(modRegistryTools::RootKey::LocalMachine, kGameKey, QString(),
                                             value)) {
        window_->statusBar()->showMessage(QStringLiteral("No Evenfall installation was found in ") +
                                              modRegistryTools::registryPlace(),
                                          kStatusMessageMs);
        return;
    }
    controls_.folder->setText(value + subFolder);
}

std::optional<QString> LogChoice::chosenLog()
{
    QComboBox *files = controls_.files;
    if (files->count() <= 0) {
        showMessageBox(window_, QStringLiteral("No valid chat log chosen, unable to load."),
                       BoxStyle::Warning, QStringLiteral("Error"));
        return std::nullopt;
    }
    if (files->currentText().isEmpty())
        files->setEditText(files->itemText(0));
    return modMain::AddTrailingBackslash(controls_.folder->text()) + files->currentText();
}

void LogChoice::showLog(const QString &path)
{
    const QFileInfo file(path);
    // A folder that is not there would only add the folder box's own error to the import's.
    if (file.absoluteDir().exists()) {
        controls_.folder->setText(QDir::toNativeSeparators(file.absolutePath()));
        controls_.files->setEditText(file.fileName());
    }
}

QStringList LogChoice::recentLogs()
{
    return recentlogs::load();
}

void LogChoice::logImported(const QString &logPath)
{
    const QStringList recent = recentlogs::withLogFirst(recentlogs::load(), logPath);
    recentlogs::save(recent);
    emit recentLogsChanged(recent);
}

void LogChoice::recentChosen(QAction *action)
{
    const QString path = action->data().toString();
    if (QFileInfo::exists(path)) {
        emit openWanted(path);
        return;
    }
    const QStringList recent = recentlogs::withoutLog(recentlogs::load(), path);
    recentlogs::save(recent);
    emit recentLogsChanged(recent);
    showMessageBox(window_,
                   QStringLiteral("The log %1 no longer exists. It has been removed from Recent Logs.")
                       .arg(QDir::toNativeSeparators(path)),
                   BoxStyle::Warning, kProgramName);
}

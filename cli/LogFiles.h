#pragma once

#include <QFile>
#include <QList>
#include <QString>

// The logs a command line names: files as the system holds their names, standard input, and the
// session logs of a folder.
namespace chatlogcli {

inline const QString kStandardInput = QStringLiteral("-");

// How a log argument is named in messages and output.
QString shownName(const QString &path);

// The file a command-line path names, in the system's own encoding (a drive path is looked up in the
// Wine prefix, as the window does).
QByteArray nativePath(const QString &path);

// Opens the log named on the command line: "-" is standard input, and anything that reads is read,
// FIFOs included (a pipe is an ordinary input for a command-line tool). False with the reason.
bool openLog(QFile &file, const QString &path, QString *error);

bool isFolder(const QString &path);

struct SessionLog {
    QString path; // the folder as given, a separator and the name: what output shows
    QString name;
};

// The session logs of folder that are files, in the order of their sessions, as the window opens them
// (ChatLogFolder.h). False with the reason when the folder cannot be listed.
bool sessionLogs(const QString &folder, QList<SessionLog> *logs, QString *error);

} // namespace chatlogcli

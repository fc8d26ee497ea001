#pragma once

#include <QString>

// Paths as the user types them and the game's registry holds them are Windows paths. On Windows they
// are used as they stand; elsewhere both "/" and "\" separate folders, and a drive path ("C:\...") is
// looked up inside the Wine prefix where a player runs the game.
namespace platformpaths {

// The Wine prefix: $WINEPREFIX, else ~/.wine. Meaningful on non-Windows systems only.
QString winePrefix();

bool isSeparator(QChar c);

// 0-based index of the last folder separator in path, or -1.
qsizetype lastSeparator(const QString &path);

// A path the file system understands. Elsewhere than on Windows: "\" becomes "/", and "X:\rest" becomes
// <prefix>/dosdevices/x:/rest (or <prefix>/drive_c/rest for C: when the prefix has no dosdevices).
QString toLocalPath(const QString &path);

// True for a Windows drive path: a letter, ":", then a separator or nothing.
bool isDrivePath(const QString &path);

// A path typed on a command line: a drive path is resolved as toLocalPath does; any other path is used
// as it stands, since on this system "\" may be part of a file name.
QString commandLinePath(const QString &path);

} // namespace platformpaths

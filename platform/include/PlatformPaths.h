#pragma once

#include <QString>

// Paths as the user types them and the game's registry holds them are Windows paths. On Windows they
// are used as they stand; elsewhere both "/" and "\" separate folders, and a drive path ("C:\...") is
// looked up inside the Wine prefix where a player runs the game.
namespace platformpaths {

// The Wine prefix: $WINEPREFIX, else ~/.wine. Meaningful on non-Windows systems only.
QString WinePrefix();

bool IsSeparator(QChar c);

// 0-based index of the last folder separator in path, or -1.
qsizetype LastSeparator(const QString &path);

// A path the file system understands. Elsewhere than on Windows: "\" becomes "/", and "X:\rest" becomes
// <prefix>/dosdevices/x:/rest (or <prefix>/drive_c/rest for C: when the prefix has no dosdevices).
QString ToLocalPath(const QString &path);

} // namespace platformpaths

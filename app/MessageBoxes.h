#pragma once

#include <QString>

class QMessageBox;
class QWidget;

// The program's name, as the titles of its windows and boxes show it.
inline const QString kProgramName = QStringLiteral("Evenfall Chat Log Reader");

// How long the status bar keeps what the window says of the moment (a search that went round).
inline constexpr int kStatusMessageMs = 10000;

// The icon of a box the window shows with one OK button.
enum class BoxStyle { Critical, Warning };

// Shows a modal box over parent with text and title, and waits for OK.
void showMessageBox(QWidget *parent, const QString &text, BoxStyle style, const QString &title);

// Runs box with room for its whole title: a box sized to a short text is narrower than its title, which
// the window's frame would then cut off.
void execWithRoomForTitle(QMessageBox &box);

#pragma once

#include <QString>
#include <functional>

class MessageBoxes;

// The main window's decisions that need no window, kept here so they can be
// tested on their own.
namespace MainWindowLogic {

// "TitleDeck  -  " with two blanks on each side of the hyphen.
QString captionPrefix();
// The window caption: the prefix, the list's file name without folder and
// extension (message 59 for a new list), and message 20 when modified.
QString caption(const QString &listFileName, bool modified);

// The close query: asks 129 (Yes/No/Cancel) when the list holds a title and
// is modified; Yes runs save (whose failure keeps the window open), Cancel
// refuses. Then asks 126 when confirmClose. Returns whether closing may go on.
bool closeQuery(MessageBoxes &boxes, bool hasTitles, bool modified, bool confirmClose,
                const std::function<bool()> &save);

// Where a window of the given size goes when its saved position lies beyond
// the screen: a left edge past the screen width is centred horizontally, a
// top edge past the screen height vertically; otherwise the position stays.
int recentred(int edge, int screenSize, int windowSize);

// Width of the grid's last column: the grid width less the other columns
// less 30 x the font scale (truncated), at least 240.
int lastColumnWidth(int gridWidth, int otherColumnsWidth, double fontScale);

} // namespace MainWindowLogic

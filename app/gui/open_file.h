// Opens a file named on durvane-gui's command line, as a file manager's "Open with" does: an
// OPT file is selected for Create New in the bottom lists, a PRJ file for Merge PRJ as the
// first file in the top lists.
#pragma once

#include <QString>

namespace durvane::gui {

class Durvane;

// Switches `window` to the mode that takes `file`, moves that mode's lists to the file's
// folder and selects the file. Returns an empty string when it did, else a message for the
// user; the window then stays usable, in whichever mode and folder it reached.
QString OpenFile(Durvane& window, const QString& file);

// Selects files dropped on `window`: OPT files in Create New mode in the bottom lists; PRJ files
// in Merge PRJ mode, as the first file when dropped on the top group (one only), else as the
// files folded into it. The files must be all OPT files or all PRJ files; only those in the
// first file's folder can be selected together. Returns an empty string when every file was
// selected, else a message for the user.
QString DropFiles(Durvane& window, const QStringList& files, bool on_top_group);

}  // namespace durvane::gui

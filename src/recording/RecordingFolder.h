// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where runs are kept when the user names no file: the recordings folder.

#include <QString>

namespace recording_file {

// $XDG_DATA_HOME/breezon/recordings (~/.local/share/… when unset).
QString userFolder();
// The same, or under a service with a state directory ($STATE_DIRECTORY),
// that directory.
QString defaultFolder();

// `name` made safe as a file name: no folder separators, no leading dot, no
// control characters.
QString fileNameOf(const QString &name);

} // namespace recording_file

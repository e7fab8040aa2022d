// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The user guide: an HTML manual installed with the program (under
// share/doc/breezon beside its bin folder); a build tree keeps a copy beside
// the program, so the guide opens from there too.

#include <QString>

// Where the installed guide is for a program in `programFolder`.
QString installedUserGuide(const QString &programFolder);
// The guide to open: the installed one, else the copy beside the program;
// empty when neither is there.
QString findUserGuide(const QString &programFolder);

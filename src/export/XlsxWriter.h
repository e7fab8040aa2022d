// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Saving a workbook of the spreadsheet application as an Office Open XML
// file, with libxlsxwriter.

#include <QString>

namespace sheet {

class Workbook;

// Writes `book` to `path`. The file is written under a temporary name in the
// same folder, checked to be complete, and only then renamed to `path`, so a
// failure never leaves a partial file under that name. Throws sheet::Error
// with the reason.
void writeXlsxFile(const Workbook &book, const QString &path);

} // namespace sheet

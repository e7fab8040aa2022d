// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The text file: one fixed-width line per list row, UTF-16 little-endian
// code units, no byte-order mark, "\r\n" after every line.

#include "ExportResult.h"

#include <QByteArray>
#include <QString>

#include <array>

class ReadingListModel;

// The line of row `row`, "\r\n" included: cell 0 and cell 1 each followed by
// 8 spaces; cells 2 to 7 each padded with spaces to 10 code units, or
// followed by one tab when longer than 10.
QString textLine(const ReadingListModel &rows, int row);
// The same rule over any eight cell texts.
QString textLineOfCells(const std::array<QString, 8> &cells);

// The line's bytes as they go into the file (UTF-16LE).
QByteArray textLineBytes(const QString &line);

// Writes every row of `rows` to `path`, replacing an existing file only
// once the new one is complete (posix_file::AtomicFile). Every write is
// checked; on failure the reason is returned, no success is claimed and an
// existing file is left as it was.
ExportResult writeTextFile(const QString &path, const ReadingListModel &rows);

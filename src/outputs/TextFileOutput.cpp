// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextFileOutput.h"

#include "TextExport.h"

QByteArray TextFileOutput::record(const RowRecord &row) const
{
    return textLineBytes(textLineOfCells(cellsOf(row)));
}

QByteArray TextFileOutput::lineEnd() const
{
    return textLineBytes(QStringLiteral("\r\n"));
}

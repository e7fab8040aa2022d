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

#include "StdoutOutput.h"

#include "TextExport.h"

QByteArray StdoutOutput::textLine(const RowRecord &row)
{
    return textLineOfCells(cellsOf(row)).chopped(2).toUtf8();
}

void StdoutOutput::add(const RowRecord &row)
{
    const QByteArray printed = format_(row) + '\n';
    std::fwrite(printed.constData(), 1, std::size_t(printed.size()), out_);
    std::fflush(out_);
}

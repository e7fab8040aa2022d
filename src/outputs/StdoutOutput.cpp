#include "StdoutOutput.h"

#include "TextExport.h"

void StdoutOutput::add(const RowRecord &row)
{
    const QByteArray printed = textLineOfCells(cellsOf(row)).chopped(2).toUtf8() + '\n';
    std::fwrite(printed.constData(), 1, std::size_t(printed.size()), out_);
    std::fflush(out_);
}

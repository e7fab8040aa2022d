#include "TextFileOutput.h"

#include "TextExport.h"

ExportResult TextFileOutput::open()
{
    return file_.open(path_) ? ExportResult::success() : ExportResult::failure(file_.error());
}

void TextFileOutput::add(const RowRecord &row)
{
    if (file_.isOpen() && !file_.append(textLineBytes(textLineOfCells(cellsOf(row)))))
        failed(file_.error());
}

ExportResult TextFileOutput::finish()
{
    const bool told = file_.failed();
    if (!file_.close() && !told)
        return ExportResult::failure(file_.error());
    return ExportResult::success();
}

#include "CsvOutput.h"

#include "CsvExport.h"

ExportResult CsvOutput::open()
{
    if (!file_.open(path_) || !file_.append(csvHeader()))
        return ExportResult::failure(file_.error());
    return ExportResult::success();
}

void CsvOutput::add(const RowRecord &row)
{
    const auto cells = cellsOf(row);
    if (file_.isOpen() && !file_.append(csvRecordOf(QStringList(cells.begin(), cells.end()))))
        failed(file_.error());
}

ExportResult CsvOutput::finish()
{
    const bool told = file_.failed();
    if (!file_.close() && !told)
        return ExportResult::failure(file_.error());
    return ExportResult::success();
}

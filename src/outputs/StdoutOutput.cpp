// SPDX-License-Identifier: GPL-3.0-or-later
#include "StdoutOutput.h"

#include "TextExport.h"

#include <cerrno>

QByteArray StdoutOutput::textLine(const RowRecord &row)
{
    return textLineOfCells(cellsOf(row)).chopped(2).toUtf8();
}

ExportResult StdoutOutput::open()
{
    // Whatever stdio holds goes first, so the order of the lines stays.
    std::fflush(out_);
    file_.adopt(fileno(out_), false);
    return ExportResult::success();
}

void StdoutOutput::told(bool ok)
{
    if (ok) {
        if (failing())
            recovered(QStringLiteral("standard output is written again; every row that waited is in it"));
    } else if (file_.errorNumber() == EPIPE) {
        // The reader has gone (| head): nothing will ever read the rest.
        gone_ = true;
    } else {
        failed(file_.error());
    }
}

void StdoutOutput::add(const RowRecord &row)
{
    if (!gone_)
        told(file_.append(format_(row) + '\n'));
}

void StdoutOutput::endBulk()
{
    const bool ok = file_.endBulk();
    if (!gone_)
        told(ok);
}

void StdoutOutput::tick()
{
    if (!gone_ && file_.waiting() > 0)
        told(file_.retry());
}

ExportResult StdoutOutput::finish()
{
    if (gone_)
        return ExportResult::success();
    const bool told = failing();
    if (file_.close())
        return ExportResult::success();
    ExportResult r =
        ExportResult::failure(QStringLiteral("%1 rows never went out: %2").arg(file_.waiting()).arg(file_.error()));
    r.reported = told && file_.waiting() == 0;
    return r;
}

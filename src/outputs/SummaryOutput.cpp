// SPDX-License-Identifier: GPL-3.0-or-later
#include "SummaryOutput.h"

#include "PosixFile.h"
#include "StatisticsText.h"


QString SummaryOutput::name() const
{
    return path_.isEmpty() ? QStringLiteral("summary") : QStringLiteral("statistics file %1").arg(path_);
}

ExportResult SummaryOutput::open()
{
    if (path_.isEmpty())
        return ExportResult::success();
    // Written at the end; a folder that cannot take it is better told now,
    // while the user is still at the keyboard.
    const QString why = posix_file::whyNotReplaceable(path_);
    return why.isEmpty() ? ExportResult::success() : ExportResult::failure(why);
}

ExportResult SummaryOutput::finish()
{
    if (path_.isEmpty()) {
        tell(QStringLiteral("statistics of %1\n%2").arg(statisticsHeading(stats_), statisticsTable(stats_).chopped(1)));
        return ExportResult::success();
    }
    const QByteArray json = statisticsJson(stats_);
    return posix_file::replaceFile(path_,
                                   [&](int fd) { return posix_file::writeAll(fd, json.constData(), std::size_t(json.size())); });
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "StdoutFormats.h"

#include "InfluxRow.h"
#include "JsonRow.h"

std::optional<StdoutOutput::LineFormat> stdoutFormat(const QString &name, const QString &instrument,
                                                     const QString &host)
{
    if (name.isEmpty() || name == QLatin1String("text"))
        return StdoutOutput::LineFormat(StdoutOutput::textLine);
    if (name == QLatin1String("jsonl"))
        return StdoutOutput::LineFormat(
            [instrument, host](const RowRecord &row) { return jsonRow(rowFields(row), instrument, host); });
    if (name == QLatin1String("influx"))
        return StdoutOutput::LineFormat(
            [instrument, host](const RowRecord &row) { return influxRow(rowFields(row), instrument, host); });
    return std::nullopt;
}

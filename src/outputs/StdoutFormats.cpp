// SPDX-License-Identifier: GPL-3.0-or-later
#include "StdoutFormats.h"

#include "InfluxRow.h"
#include "JsonRow.h"

#include <QFileInfo>

std::optional<StdoutOutput::LineFormat> stdoutFormat(const QString &name, const QString &instrument)
{
    if (name.isEmpty() || name == QLatin1String("text"))
        return StdoutOutput::LineFormat(StdoutOutput::textLine);
    if (name == QLatin1String("jsonl"))
        return StdoutOutput::LineFormat([](const RowRecord &row) { return jsonRow(rowFields(row)); });
    if (name == QLatin1String("influx"))
        return StdoutOutput::LineFormat(
            [instrument](const RowRecord &row) { return influxRow(rowFields(row), instrument); });
    return std::nullopt;
}

QString instrumentName(const QString &port)
{
    const QString name = QFileInfo(port).fileName();
    return name.isEmpty() ? QStringLiteral("demo") : name;
}

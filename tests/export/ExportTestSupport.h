// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Helpers of the export tests: lists of readings and the spreadsheet read
// back by openpyxl.

#include "Files.h"
#include "ReadingListModel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace export_test {

inline Reading reading(Quantity mode, std::uint8_t unit, std::uint32_t value, std::uint16_t humidity,
                       std::int16_t temperature, bool fahrenheit = false, Marker marker = Marker::none)
{
    Reading r;
    r.mode = mode;
    r.unit = unit;
    r.value = value;
    r.humidity = humidity;
    r.temperature = temperature;
    r.fahrenheit = fahrenheit;
    r.marker = marker;
    return r;
}

// A list of `n` varied rows.
inline void fillRows(ReadingListModel &m, int n)
{
    for (int i = 0; i < n; ++i)
        m.addRow(reading(i % 3 == 2 ? Quantity::flow : Quantity::speed, std::uint8_t(i % 3), std::uint32_t(i * 7),
                         std::uint16_t(i % 1000), std::int16_t(i % 600 - 200), i % 2 == 1,
                         i % 4 == 1 ? Marker::dewPoint : i % 4 == 2 ? Marker::wetBulb : Marker::none),
                 QTime(i / 3600 % 24, i / 60 % 60, i % 60));
}

// The workbook at `path` as openpyxl reads it (see read_xlsx.py); rows 1 to
// `rows` of its first sheet.
inline QJsonObject readWorkbook(const QString &path, int rows)
{
    QProcess p;
    p.start(QStringLiteral(BREEZON_PYTHON), {QStringLiteral(BREEZON_READ_XLSX), path, QString::number(rows)});
    if (!p.waitForFinished(120000)) {
        ADD_FAILURE() << "python3 did not finish";
        return {};
    }
    if (p.exitCode() != 0) {
        ADD_FAILURE() << "reading the workbook failed: " << p.readAllStandardError().toStdString();
        return {};
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

} // namespace export_test

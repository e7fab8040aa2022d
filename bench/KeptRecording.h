// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A large recording file for the benchmarks, made once through the program's
// own writer (every row in one transaction: one a row would take hours) and
// kept in the temporary folder. It is made again when it is missing, holds
// another number of rows, or has another schema than today's writer makes.

#include "RecordingFileReader.h"
#include "RecordingFileWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <sqlite3.h>
#include <string>

namespace bench {

inline std::string schemaOf(const QString &path)
{
    sqlite3 *db = nullptr;
    std::string schema;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK)
        sqlite3_exec(
            db, "SELECT sql FROM sqlite_schema ORDER BY name",
            [](void *out, int, char **values, char **) {
                *static_cast<std::string *>(out) += values[0] ? values[0] : "";
                return 0;
            },
            &schema, nullptr);
    sqlite3_close(db);
    return schema;
}

inline QString keptRecording(const QString &name, int rows, const std::function<RowRecord(int)> &rowAt)
{
    const QString path = QDir::temp().filePath(name);
    QTemporaryDir dir;
    const QString fresh = dir.filePath(QStringLiteral("fresh.breezon"));
    {
        RecordingFileWriter writer;
        std::string why;
        writer.open(QFile::encodeName(fresh).toStdString(), &why);
    }
    {
        RecordingFileReader reader;
        if (reader.open(path).ok && reader.rowCount() == rows && schemaOf(path) == schemaOf(fresh))
            return path;
    }
    QFile::remove(path);
    RecordingFileWriter writer;
    std::string why;
    if (!writer.open(QFile::encodeName(path).toStdString(), &why) || !writer.beginBatch(&why))
        return {};
    for (int i = 0; i < rows; ++i)
        writer.write(storedRow(rowAt(i)), &why);
    writer.commitBatch(&why);
    return path;
}

} // namespace bench

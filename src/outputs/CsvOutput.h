#pragma once
// --csv: comma-separated UTF-8, one record per row synced to the disk as it
// is added, under a header record.

#include "LiveFile.h"
#include "Output.h"

class CsvOutput : public Output {
public:
    explicit CsvOutput(QString path) : path_(std::move(path)) {}
    QString name() const override { return QStringLiteral("CSV file %1").arg(path_); }
    ExportResult open() override;
    void add(const RowRecord &row) override;
    ExportResult finish() override;

private:
    QString path_;
    LiveFile file_;
};

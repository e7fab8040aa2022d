#pragma once
// --txt: the text file growing by one line per row, each line as Save TXT
// writes it (UTF-16LE, fixed width) and synced to the disk as it is added.

#include "LiveFile.h"
#include "Output.h"

class TextFileOutput : public Output {
public:
    explicit TextFileOutput(QString path) : path_(std::move(path)) {}
    QString name() const override { return QStringLiteral("text file %1").arg(path_); }
    ExportResult open() override;
    void add(const RowRecord &row) override;
    ExportResult finish() override;

private:
    QString path_;
    LiveFile file_;
};

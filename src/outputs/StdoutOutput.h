#pragma once
// Standard output: every row as the text file's line, in UTF-8, flushed as
// it is added, so `| tee` and `| grep` see it at once.

#include "Output.h"

#include <cstdio>

class StdoutOutput : public Output {
public:
    explicit StdoutOutput(std::FILE *out) : out_(out) {}
    QString name() const override { return QStringLiteral("standard output"); }
    ExportResult open() override { return ExportResult::success(); }
    void add(const RowRecord &row) override;
    ExportResult finish() override { return ExportResult::success(); }

private:
    std::FILE *out_;
};

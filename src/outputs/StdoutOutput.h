#pragma once
// Standard output: every row as one line in UTF-8, flushed as it is added,
// so `| tee` and `| grep` see it at once. The line's format is chosen when
// the output is made (StdoutFormats.h); by default the text file's line.

#include "Output.h"

#include <cstdio>
#include <functional>

class StdoutOutput : public Output {
public:
    // A row's printed line, without the newline.
    using LineFormat = std::function<QByteArray(const RowRecord &)>;
    static QByteArray textLine(const RowRecord &row);

    explicit StdoutOutput(std::FILE *out, LineFormat format = textLine) : out_(out), format_(std::move(format)) {}
    QString name() const override { return QStringLiteral("standard output"); }
    ExportResult open() override { return ExportResult::success(); }
    void add(const RowRecord &row) override;
    ExportResult finish() override { return ExportResult::success(); }

private:
    std::FILE *out_;
    LineFormat format_;
};

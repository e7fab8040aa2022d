#pragma once
// Standard output: every row as the text file's line, in UTF-8, written as
// it is added, so `| tee` and `| grep` see it at once. Written on the
// descriptor, past stdio's buffer: a refused line waits and goes out whole
// later (LiveFile), and a reader that has gone (EPIPE) makes it gone().

#include "LiveFile.h"
#include "Output.h"

#include <cstdio>

class StdoutOutput : public Output {
public:
    explicit StdoutOutput(std::FILE *out) : out_(out) {}
    QString name() const override { return QStringLiteral("standard output"); }
    ExportResult open() override;
    void add(const RowRecord &row) override;
    void tick() override;
    ExportResult finish() override;
    bool gone() const override { return gone_; }

private:
    void told(bool ok);

    std::FILE *out_;
    LiveFile file_;
    bool gone_ = false;
};

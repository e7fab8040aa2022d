// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Standard output: every row as one line in UTF-8, written as it is added,
// so `| tee` and `| grep` see it at once. The line's format is chosen when
// the output is made (by default the text file's line). Written on the
// descriptor, past stdio's buffer: a refused line waits and goes out whole
// later (LiveFile), and a reader that has gone (EPIPE) makes it gone().

#include "LiveFile.h"
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
    ExportResult open() override;
    void add(const RowRecord &row) override;
    void tick() override;
    ExportResult finish() override;
    bool gone() const override { return gone_; }
    void beginBulk() override { file_.beginBulk(); }
    void endBulk() override;

private:
    void told(bool ok);

    std::FILE *out_;
    LiveFile file_;
    bool gone_ = false;
    LineFormat format_;
};

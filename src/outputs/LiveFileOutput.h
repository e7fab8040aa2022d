// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An output that grows a LiveFile by one record per row (--txt, --csv): a
// row the disk refuses waits in memory and goes out, in order, with a later
// row or on a tick; the failure and the recovery are each told once.

#include "LiveFile.h"
#include "Output.h"

class LiveFileOutput : public Output {
public:
    ExportResult open() override;
    void add(const RowRecord &row) override;
    ExportResult finish() override;
    void tick() override;
    void beginBulk() override;
    void endBulk() override;
    void discard() override;

protected:
    explicit LiveFileOutput(QString path) : path_(std::move(path)) {}
    // The bytes of one row, line end included.
    virtual QByteArray record(const RowRecord &row) const = 0;
    // How every line ends in the file's encoding.
    virtual QByteArray lineEnd() const = 0;
    // Before an existing file is continued: empty when it is one this
    // output wrote (its line ends, its encoding, its header), else why not.
    virtual QString whyNotOurs(const LiveFile::Existing &existing) const = 0;
    // After the file is open: a header for a new file.
    virtual ExportResult prepare() { return ExportResult::success(); }

    QString path_;
    LiveFile file_;
    bool created_ = false; // open() made the file

private:
    void told(bool ok);
};

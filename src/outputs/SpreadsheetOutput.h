// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// --xls: the spreadsheet file, made from the run's recording file when the
// run ends, with each row's full time in columns I and J. So a restarted recorder's
// workbook holds the whole continued run, and after a crash
// `--from RECORDING --xls FILE` makes it again.
//
// A workbook is never made smaller by a live run: a start that would replace
// one with fewer rows than it holds is refused, and a run without rows leaves
// it alone. A file that is not a workbook breezon wrote is refused, and
// while the run lasts the file is held, so a second breezon cannot write it.

#include "Output.h"
#include "ReadingListModel.h"

#include <cstdint>

class SpreadsheetOutput : public Output {
public:
    SpreadsheetOutput(QString path, const OutputContext &context);
    ~SpreadsheetOutput() override;
    QString name() const override { return QStringLiteral("spreadsheet file %1").arg(path_); }
    ExportResult open() override;
    void add(const RowRecord &row) override;
    void beginBulk() override { rows_.beginAppending(); }
    void endBulk() override { rows_.endAppending(); }
    ExportResult finish() override;
    void discard() override;
    bool needsRecording() const override { return true; }

private:
    void release();

    QString path_;
    Spine *spine_;
    bool conversion_; // --from: replaces the workbook as Save Excel does
    int lock_ = -1;
    bool created_ = false;
    std::int64_t last_ = -1; // the last row the run gave
    ReadingListModel rows_;  // the rows the workbook is made of
};

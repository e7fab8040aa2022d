// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// --xls: the spreadsheet file, made from the run's rows when the run ends,
// with each row's full time in column I.

#include "Output.h"

class SpreadsheetOutput : public Output {
public:
    SpreadsheetOutput(QString path, const OutputContext &context) : path_(std::move(path)), rows_(context.rows) {}
    QString name() const override { return QStringLiteral("spreadsheet file %1").arg(path_); }
    ExportResult open() override;
    void add(const RowRecord &) override {}
    ExportResult finish() override;

private:
    QString path_;
    const ReadingListModel *rows_;
};

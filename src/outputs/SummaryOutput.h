// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// --summary and --summary-json FILE: the run's statistics (count, lowest,
// highest, mean and spread per quantity and unit) when the run ends, as a
// short table on standard error (told through the note, as the recorder's
// other messages are) or as one JSON object in FILE. Counted as the rows
// come, in constant memory, from a live run and from --from alike.

#include "Output.h"
#include "RunStatistics.h"

class SummaryOutput : public Output {
public:
    // `jsonPath` empty: the table; else the JSON file.
    explicit SummaryOutput(QString jsonPath = {}) : path_(std::move(jsonPath)) {}
    QString name() const override;
    ExportResult open() override;
    void add(const RowRecord &row) override { stats_.add(row); }
    ExportResult finish() override;

private:
    QString path_;
    RunStatistics stats_;
};

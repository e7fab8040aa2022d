// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A sink made of functions, for the parts of a program that only show rows
// (the window's list, its panel and graph): nothing to open or finish.

#include "Output.h"

#include <functional>

class FunctionSink : public Output {
public:
    using Add = std::function<void(const RowRecord &row, bool inBulk)>;
    using Bulk = std::function<void()>;

    FunctionSink(QString name, Add add, Bulk beginBulk = {}, Bulk endBulk = {})
        : name_(std::move(name)), add_(std::move(add)), beginBulk_(std::move(beginBulk)), endBulk_(std::move(endBulk))
    {
    }
    QString name() const override { return name_; }
    ExportResult open() override { return ExportResult::success(); }
    void add(const RowRecord &row) override { add_(row, inBulk_); }
    ExportResult finish() override { return ExportResult::success(); }
    void beginBulk() override
    {
        inBulk_ = true;
        if (beginBulk_)
            beginBulk_();
    }
    void endBulk() override
    {
        inBulk_ = false;
        if (endBulk_)
            endBulk_();
    }

private:
    QString name_;
    Add add_;
    Bulk beginBulk_, endBulk_;
    bool inBulk_ = false;
};

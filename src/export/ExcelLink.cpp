// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExcelLink.h"

ExcelLink::ExcelLink(MessageFn message) : message_(std::move(message)) {}

ExcelLink::~ExcelLink()
{
    end();
}

void ExcelLink::message(const QString &text) const
{
    if (message_)
        message_(text);
}

bool ExcelLink::init()
{
    application_ = sheet::Application::start();
    if (!application_) {
        message(QStringLiteral("EXCEL init error!"));
        return false;
    }
    workbooks_ = &application_->workbooks();
    workbook_ = &workbooks_->add();
    sheets_ = &workbook_->worksheets();
    return true;
}

void ExcelLink::addSheet(const QString &name)
{
    if (!sheets_)
        return;
    worksheet_ = &sheets_->add();
    worksheet_->setName(name);
    range_ = worksheet_->cells();
}

void ExcelLink::selectRange(const QString &topLeft, const QString &bottomRight)
{
    if (!worksheet_)
        return;
    range_ = worksheet_->range(topLeft, bottomRight);
}

void ExcelLink::selectCells()
{
    if (!worksheet_)
        return;
    range_ = worksheet_->cells();
}

void ExcelLink::setNumberFormat(const QString &format)
{
    if (range_.isNull())
        return;
    range_.setNumberFormat(format);
}

bool ExcelLink::holds(int column, int row) const
{
    if (range_.isNull()) {
        message(QStringLiteral("SetItem error"));
        return false;
    }
    const std::int64_t rows = range_.entireRow().count();
    const std::int64_t columns = range_.entireColumn().count();
    if (row < 1 || row > rows || column < 1 || column > columns) {
        message(QStringLiteral("SetItem error"));
        return false;
    }
    return true;
}

bool ExcelLink::SetItem(int column, const QString &text, int row)
{
    if (!holds(column, row))
        return false;
    range_.setItem(row, column, text);
    return true;
}

bool ExcelLink::SetValue(int column, double value, int row)
{
    if (!holds(column, row))
        return false;
    range_.setValue(row, column, value);
    return true;
}

void ExcelLink::autoFitColumns()
{
    if (range_.isNull())
        return;
    range_.entireColumn().autoFit();
}

void ExcelLink::saveWorkbook(const QString &path)
{
    if (!workbook_)
        return;
    // No deleting beforehand: SaveAs puts the new file in place by renaming
    // it over the old one once it is complete, so a failed save keeps the
    // file the user had.
    workbook_->saveAs(path);
    savedName_ = path;
}

void ExcelLink::end() noexcept
{
    range_ = {};
    worksheet_ = nullptr;
    sheets_ = nullptr;
    try {
        if (workbook_)
            workbook_->close(false, savedName_);
    } catch (...) {
        // Closing unsaved cannot fail; nothing may escape a destructor.
    }
    workbook_ = nullptr;
    try {
        if (workbooks_)
            workbooks_->close();
    } catch (...) {
    }
    workbooks_ = nullptr;
    if (application_)
        application_->quit();
    application_.reset();
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The export's connection to the spreadsheet application: one object for
// one command. Each operation is one call sequence on the application's
// object model, in the order the export gives. A call on an object the link
// does not hold (after a failed init, say) does nothing. A failing call
// throws sheet::Error; the link still ends in its destructor, also while
// that exception unwinds.

#include "SpreadsheetApp.h"

#include <QString>

#include <functional>
#include <memory>

class ExcelLink {
public:
    // Shows a message box to the user (error icon); the window decides how.
    using MessageFn = std::function<void(const QString &text)>;

    explicit ExcelLink(MessageFn message = {});
    ~ExcelLink();
    ExcelLink(const ExcelLink &) = delete;
    ExcelLink &operator=(const ExcelLink &) = delete;

    // Starts the application, adds a workbook and takes its sheets. When the
    // application cannot be started: "EXCEL init error!" and false.
    bool init();
    // Adds a worksheet named `name`; the current range is its whole grid.
    void addSheet(const QString &name);
    // The rectangle from `topLeft` to `bottomRight` ("A2", "A9") becomes
    // the current range.
    void selectRange(const QString &topLeft, const QString &bottomRight);
    // The whole grid of the worksheet becomes the current range again.
    void selectCells();
    void setNumberFormat(const QString &format);
    // Writes `text` into the cell `row`, `column` (1-based, from the current
    // range's top-left). Outside the range's rows or columns: "SetItem
    // error", nothing written, false.
    bool SetItem(int column, const QString &text, int row);
    // The same for a number (a date as its serial number).
    bool SetValue(int column, double value, int row);
    // Fits every column of the current range to its longest text.
    void autoFitColumns();
    // Saves the workbook under `path`; an existing file there is replaced,
    // but only by a complete new one.
    void saveWorkbook(const QString &path);

    QString savedName() const { return savedName_; }

    // What the link holds, for tests.
    sheet::Application *application() const { return application_.get(); }
    sheet::Workbook *workbook() const { return workbook_; }
    sheet::Worksheet *worksheet() const { return worksheet_; }
    const sheet::Range &range() const { return range_; }

private:
    void message(const QString &text) const;
    bool holds(int column, int row) const;
    void end() noexcept;

    MessageFn message_;
    std::unique_ptr<sheet::Application> application_;
    sheet::Workbook *workbook_ = nullptr;
    sheet::Worksheet *worksheet_ = nullptr;
    sheet::Workbooks *workbooks_ = nullptr;
    sheet::Sheets *sheets_ = nullptr;
    sheet::Range range_;
    QString savedName_;
};

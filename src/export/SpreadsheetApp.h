// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A small spreadsheet application of our own, in process, offering the object
// model that the export's automation calls use: application, workbooks,
// workbook, worksheets, worksheet, range. ExcelLink drives it call for call.
//
// A failed call throws sheet::Error, as the automation interface raises its
// exception; the caller decides where to stop.
//
// Cells keep their texts exactly as given, stored compactly (a column written
// top to bottom costs its UTF-8 bytes plus four bytes a cell); number formats
// are kept as the rectangles they were given for, so formatting the whole
// grid costs one entry, not 17 billion cells.

#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace sheet {

inline constexpr int kMaxRows = 1048576;
inline constexpr int kMaxColumns = 16384;
inline constexpr int kMaxTextLength = 32767; // characters in one cell

class Error : public std::runtime_error {
public:
    explicit Error(const QString &message);
    QString message() const { return QString::fromUtf8(what()); }
};

class Worksheet;
class Sheets;

// A rectangle of one worksheet (1-based, inclusive). `Rows` and `Columns`
// are what EntireRow and EntireColumn return: their Count counts rows or
// columns, a plain range counts cells.
class Range {
public:
    enum class Kind { Cells, Rows, Columns };

    Range() = default;
    Range(Worksheet *sheet, int top, int left, int bottom, int right, Kind kind = Kind::Cells);

    bool isNull() const { return sheet_ == nullptr; }
    int top() const { return top_; }
    int left() const { return left_; }
    int bottom() const { return bottom_; }
    int right() const { return right_; }
    Kind kind() const { return kind_; }

    // NumberFormat put.
    void setNumberFormat(const QString &format);
    // EntireRow, EntireColumn gets.
    Range entireRow() const;
    Range entireColumn() const;
    // Count get.
    std::int64_t count() const;
    // Item put: the cell `row`, `column` (1-based) counted from the top-left
    // cell. It may lie outside the range, but not outside the grid.
    void setItem(int row, int column, const QString &text);
    // Item put of a number (a date is its serial number: days since
    // 1899-12-30, local time); the cell's number format shows it.
    void setValue(int row, int column, double value);
    // AutoFit method, on EntireColumn (columns) or EntireRow (rows: nothing
    // to fit here, row heights are not kept).
    void autoFit();

private:
    void put(int row, int column, const QString &text, bool number);

    Worksheet *sheet_ = nullptr;
    int top_ = 0, left_ = 0, bottom_ = 0, right_ = 0;
    Kind kind_ = Kind::Cells;
};

class Worksheet {
public:
    explicit Worksheet(QString name, Sheets *owner = nullptr);
    Worksheet(const Worksheet &) = delete;
    Worksheet &operator=(const Worksheet &) = delete;

    QString name() const { return name_; }
    // Name put: 1 to 31 characters, none of : \ / ? * [ ], not starting
    // or ending with an apostrophe, unlike every other sheet's name.
    void setName(const QString &name);

    // Cells get: the whole grid.
    Range cells();
    // Range get by two A1 references ("A2", "H1000002"), in either order.
    Range range(const QString &cell1, const QString &cell2);

    // Reading back (for saving and tests), 1-based.
    QString text(int row, int column) const;
    QString numberFormat(int row, int column) const; // "General" when none was set
    double columnWidth(int column) const;           // 0: never fitted

    // The kept content, for the file writer.
    struct FormatRule {
        int top, left, bottom, right;
        int format; // index into formats()
    };
    const std::vector<FormatRule> &formatRules() const { return rules_; }
    const std::vector<QString> &formats() const { return formatTexts_; }
    int columnCountUsed() const { return int(columns_.size()); }

    // The texts of one column in row order: calls `visit(row, utf8, length)`.
    // Rows with an empty text are visited too.
    void forEachText(int column, const std::function<void(int, const char *, std::size_t)> &visit) const;

    // A column of texts: mostly one unbroken run of rows, as a column
    // written top to bottom is; anything else in a map beside it.
    struct Column {
        int first = 0;                   // row of the run's first cell
        std::vector<std::uint32_t> ends; // end offset of each run cell in `bytes`
        std::string bytes;               // the run's texts, UTF-8, back to back
        std::map<int, std::string> others; // cells outside the run, and rewrites
        std::vector<bool> runNumbers;      // run cells that hold numbers (shorter: the rest do not)
        std::set<int> otherNumbers;        // rows of `others` that hold numbers
        bool numberAt(int row) const
        {
            if (others.count(row))
                return otherNumbers.count(row) != 0;
            const std::size_t i = std::size_t(row - first);
            return inRun(row) && i < runNumbers.size() && runNumbers[i];
        }
        int runRows() const { return int(ends.size()); }
        bool inRun(int row) const { return !ends.empty() && row >= first && row < first + runRows(); }
    };
    const Column *column(int c) const;

private:
    friend class Range;
    void setText(int row, int column, const QString &text, bool number = false);
    void addFormat(int top, int left, int bottom, int right, const QString &format);
    void autoFitColumns(int left, int right);

    QString name_;
    Sheets *owner_;
    std::vector<Column> columns_; // index column - 1
    std::vector<FormatRule> rules_;
    std::vector<QString> formatTexts_;
    std::map<int, double> widths_;
};

class Workbook;

// The worksheet collection of one workbook, in tab order.
class Sheets {
public:
    explicit Sheets(Workbook *book) : book_(book) {}
    // Add method: a new sheet before the active one; it becomes active.
    Worksheet &add();
    int count() const { return int(sheets_.size()); }
    Worksheet &item(int index); // 1-based
    const Worksheet &item(int index) const;
    Worksheet *find(const QString &name);
    Worksheet *active() const { return active_; }

private:
    friend class Workbook;
    friend class Worksheet;
    Workbook *book_;
    std::vector<std::unique_ptr<Worksheet>> sheets_;
    Worksheet *active_ = nullptr;
    int created_ = 0; // for the default names "Sheet1", "Sheet2", ...
};

class Workbook {
public:
    Workbook();
    Workbook(const Workbook &) = delete;
    Workbook &operator=(const Workbook &) = delete;

    // Worksheets get.
    Sheets &worksheets() { return sheets_; }
    const Sheets &worksheets() const { return sheets_; }
    // SaveAs method: writes the whole workbook to `path` as an Office Open
    // XML spreadsheet. It lands under `path` only when complete; a failure
    // throws and leaves no file of that name behind.
    void saveAs(const QString &path);
    // Close method. With saveChanges the workbook is saved first under
    // `fileName` (or its last name); then its content is gone.
    void close(bool saveChanges, const QString &fileName);
    bool isClosed() const { return closed_; }
    QString fullName() const { return fullName_; }

private:
    Sheets sheets_;
    QString fullName_;
    bool closed_ = false;
};

class Workbooks {
public:
    // Add method: a new workbook holding one sheet, "Sheet1".
    Workbook &add();
    int count() const { return int(books_.size()); }
    // Close method: closes every workbook, unsaved.
    void close();

private:
    std::vector<std::unique_ptr<Workbook>> books_;
};

class Application {
public:
    using Starter = std::function<std::unique_ptr<Application>()>;

    // Starts the application object; nullptr when it cannot be started.
    static std::unique_ptr<Application> start();
    // Tests replace how start() works (for example to make it fail); an
    // empty starter restores the normal one.
    static void setStarterForTesting(Starter starter);

    Application() = default;
    virtual ~Application() = default;
    // Workbooks get.
    Workbooks &workbooks() { return workbooks_; }
    // Quit method: every workbook is closed unsaved.
    void quit();
    bool hasQuit() const { return quit_; }

private:
    Workbooks workbooks_;
    bool quit_ = false;
};

// "A2" -> row 2, column 1. False for anything that is not a cell of the grid.
bool parseCellReference(const QString &reference, int &row, int &column);

} // namespace sheet

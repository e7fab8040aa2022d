// SPDX-License-Identifier: GPL-3.0-or-later
#include "SpreadsheetApp.h"

#include "XlsxWriter.h"

#include <algorithm>
#include <limits>

namespace sheet {

namespace {

Application::Starter &starterOverride()
{
    static Application::Starter starter;
    return starter;
}

// UTF-16 to UTF-8, appended; a lone surrogate becomes U+FFFD.
void appendUtf8(std::string &out, const QString &text)
{
    const char16_t *s = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = s[i];
        if (c < 0x80) {
            out += char(c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
}

// Characters in UTF-8 text: every byte but the continuation bytes.
int characters(const char *utf8, std::size_t length)
{
    int n = 0;
    for (std::size_t i = 0; i < length; ++i)
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80)
            ++n;
    return n;
}

bool validCell(int row, int column)
{
    return row >= 1 && row <= kMaxRows && column >= 1 && column <= kMaxColumns;
}

} // namespace

Error::Error(const QString &message) : std::runtime_error(message.toStdString()) {}

bool parseCellReference(const QString &reference, int &row, int &column)
{
    qsizetype i = 0;
    const qsizetype n = reference.size();
    auto skipDollar = [&] {
        if (i < n && reference[i] == u'$')
            ++i;
    };
    skipDollar();
    int c = 0;
    int letters = 0;
    while (i < n && letters < 4) {
        const char16_t ch = reference[i].toUpper().unicode();
        if (ch < u'A' || ch > u'Z')
            break;
        c = c * 26 + (ch - u'A' + 1);
        ++letters;
        ++i;
    }
    if (letters == 0 || letters > 3)
        return false;
    skipDollar();
    if (i >= n || reference[i] == u'0')
        return false;
    std::int64_t r = 0;
    int digits = 0;
    while (i < n && reference[i] >= u'0' && reference[i] <= u'9' && digits < 8) {
        r = r * 10 + (reference[i].unicode() - u'0');
        ++digits;
        ++i;
    }
    if (i != n || digits == 0 || !validCell(int(std::min<std::int64_t>(r, kMaxRows + 1)), c))
        return false;
    row = int(r);
    column = c;
    return true;
}

// ---------------------------------------------------------------- Range

Range::Range(Worksheet *sheet, int top, int left, int bottom, int right, Kind kind)
    : sheet_(sheet), top_(top), left_(left), bottom_(bottom), right_(right), kind_(kind)
{
}

void Range::setNumberFormat(const QString &format)
{
    if (!sheet_)
        throw Error(QStringLiteral("NumberFormat: no range"));
    sheet_->addFormat(top_, left_, bottom_, right_, format);
}

Range Range::entireRow() const
{
    if (!sheet_)
        throw Error(QStringLiteral("EntireRow: no range"));
    return Range(sheet_, top_, 1, bottom_, kMaxColumns, Kind::Rows);
}

Range Range::entireColumn() const
{
    if (!sheet_)
        throw Error(QStringLiteral("EntireColumn: no range"));
    return Range(sheet_, 1, left_, kMaxRows, right_, Kind::Columns);
}

std::int64_t Range::count() const
{
    if (!sheet_)
        throw Error(QStringLiteral("Count: no range"));
    const std::int64_t rows = std::int64_t(bottom_) - top_ + 1;
    const std::int64_t columns = std::int64_t(right_) - left_ + 1;
    switch (kind_) {
    case Kind::Rows:
        return rows;
    case Kind::Columns:
        return columns;
    case Kind::Cells:
        break;
    }
    return rows * columns;
}

void Range::setItem(int row, int column, const QString &text)
{
    if (text.size() > kMaxTextLength)
        throw Error(QStringLiteral("Item: a cell holds at most %1 characters").arg(kMaxTextLength));
    put(row, column, text, false);
}

void Range::setValue(int row, int column, double value)
{
    put(row, column, QString::number(value, 'g', 17), true);
}

void Range::put(int row, int column, const QString &text, bool number)
{
    if (!sheet_)
        throw Error(QStringLiteral("Item: no range"));
    const std::int64_t r = std::int64_t(top_) + row - 1;
    const std::int64_t c = std::int64_t(left_) + column - 1;
    if (r < 1 || r > kMaxRows || c < 1 || c > kMaxColumns)
        throw Error(QStringLiteral("Item: row %1, column %2 lies outside the worksheet").arg(r).arg(c));
    sheet_->setText(int(r), int(c), text, number);
}

void Range::autoFit()
{
    if (!sheet_)
        throw Error(QStringLiteral("AutoFit: no range"));
    switch (kind_) {
    case Kind::Columns:
        sheet_->autoFitColumns(left_, right_);
        return;
    case Kind::Rows:
        return; // row heights follow the font; nothing is kept for them
    case Kind::Cells:
        break;
    }
    throw Error(QStringLiteral("AutoFit works on entire rows or columns only"));
}

// ------------------------------------------------------------ Worksheet

Worksheet::Worksheet(QString name, Sheets *owner) : name_(std::move(name)), owner_(owner) {}

void Worksheet::setName(const QString &name)
{
    static const QString forbidden = QStringLiteral(":\\/?*[]");
    if (name.isEmpty() || name.size() > 31)
        throw Error(QStringLiteral("Name: a sheet name has 1 to 31 characters"));
    for (QChar ch : name)
        if (forbidden.contains(ch))
            throw Error(QStringLiteral("Name: a sheet name cannot contain %1").arg(ch));
    if (name.startsWith(u'\'') || name.endsWith(u'\''))
        throw Error(QStringLiteral("Name: a sheet name cannot start or end with an apostrophe"));
    if (owner_) {
        for (const auto &other : owner_->sheets_)
            if (other.get() != this && other->name_.compare(name, Qt::CaseInsensitive) == 0)
                throw Error(QStringLiteral("Name: another sheet is already named \"%1\"").arg(other->name_));
    }
    name_ = name;
}

Range Worksheet::cells()
{
    return Range(this, 1, 1, kMaxRows, kMaxColumns);
}

Range Worksheet::range(const QString &cell1, const QString &cell2)
{
    int r1, c1, r2, c2;
    if (!parseCellReference(cell1, r1, c1))
        throw Error(QStringLiteral("Range: \"%1\" is not a cell of the worksheet").arg(cell1));
    if (!parseCellReference(cell2, r2, c2))
        throw Error(QStringLiteral("Range: \"%1\" is not a cell of the worksheet").arg(cell2));
    return Range(this, std::min(r1, r2), std::min(c1, c2), std::max(r1, r2), std::max(c1, c2));
}

const Worksheet::Column *Worksheet::column(int c) const
{
    if (c < 1 || c > int(columns_.size()))
        return nullptr;
    return &columns_[std::size_t(c - 1)];
}

void Worksheet::setText(int row, int c, const QString &text, bool number)
{
    if (int(columns_.size()) < c)
        columns_.resize(std::size_t(c));
    Column &col = columns_[std::size_t(c - 1)];
    if (col.ends.empty() || row == col.first + col.runRows()) {
        const std::size_t before = col.bytes.size();
        appendUtf8(col.bytes, text);
        if (col.bytes.size() <= std::numeric_limits<std::uint32_t>::max()) {
            if (col.ends.empty())
                col.first = row;
            col.ends.push_back(std::uint32_t(col.bytes.size()));
            if (number) {
                col.runNumbers.resize(col.ends.size(), false);
                col.runNumbers.back() = true;
            }
            if (!col.others.empty()) {
                col.others.erase(row);
                col.otherNumbers.erase(row);
            }
            return;
        }
        col.bytes.resize(before); // the run is full: keep this one aside
    }
    std::string &kept = col.others[row];
    kept.clear();
    appendUtf8(kept, text);
    if (number)
        col.otherNumbers.insert(row);
    else
        col.otherNumbers.erase(row);
}

QString Worksheet::text(int row, int c) const
{
    const Column *col = column(c);
    if (!col)
        return {};
    if (auto it = col->others.find(row); it != col->others.end())
        return QString::fromStdString(it->second);
    if (!col->inRun(row))
        return {};
    const std::size_t i = std::size_t(row - col->first);
    const std::size_t begin = i == 0 ? 0 : col->ends[i - 1];
    return QString::fromUtf8(col->bytes.data() + begin, qsizetype(col->ends[i] - begin));
}

void Worksheet::forEachText(int c, const std::function<void(int, const char *, std::size_t)> &visit) const
{
    const Column *col = column(c);
    if (!col)
        return;
    auto other = col->others.begin();
    const int runRows = col->runRows();
    int i = 0;
    while (i < runRows || other != col->others.end()) {
        const int runRow = i < runRows ? col->first + i : std::numeric_limits<int>::max();
        if (other != col->others.end() && other->first <= runRow) {
            visit(other->first, other->second.data(), other->second.size());
            if (other->first == runRow)
                ++i; // rewritten: the kept text replaces the run's
            ++other;
        } else {
            const std::size_t begin = i == 0 ? 0 : col->ends[std::size_t(i - 1)];
            visit(runRow, col->bytes.data() + begin, col->ends[std::size_t(i)] - begin);
            ++i;
        }
    }
}

void Worksheet::addFormat(int top, int left, int bottom, int right, const QString &format)
{
    int index = int(std::find(formatTexts_.begin(), formatTexts_.end(), format) - formatTexts_.begin());
    if (index == int(formatTexts_.size()))
        formatTexts_.push_back(format);

    // A rule entirely under the new one no longer decides anything.
    std::erase_if(rules_, [&](const FormatRule &r) {
        return r.top >= top && r.bottom <= bottom && r.left >= left && r.right <= right;
    });
    // Cell after cell down a column (or along a row) grows one rule.
    if (!rules_.empty()) {
        FormatRule &last = rules_.back();
        if (last.format == index && last.left == left && last.right == right && last.bottom + 1 == top) {
            last.bottom = bottom;
            return;
        }
        if (last.format == index && last.top == top && last.bottom == bottom && last.right + 1 == left) {
            last.right = right;
            return;
        }
    }
    rules_.push_back({top, left, bottom, right, index});
}

QString Worksheet::numberFormat(int row, int c) const
{
    for (auto it = rules_.rbegin(); it != rules_.rend(); ++it)
        if (row >= it->top && row <= it->bottom && c >= it->left && c <= it->right)
            return formatTexts_[std::size_t(it->format)];
    return QStringLiteral("General");
}

double Worksheet::columnWidth(int c) const
{
    auto it = widths_.find(c);
    return it == widths_.end() ? 0.0 : it->second;
}

void Worksheet::autoFitColumns(int left, int right)
{
    // Width in characters of the longest text, plus one for the margins,
    // within the 255 characters a column can be wide.
    const int last = std::min(right, int(columns_.size()));
    for (int c = std::max(left, 1); c <= last; ++c) {
        int longest = 0;
        const Column &col = columns_[std::size_t(c - 1)];
        forEachText(c, [&](int row, const char *utf8, std::size_t length) {
            // A number shows as its format does ("yyyy-mm-dd hh:mm:ss.000").
            const int shown = col.numberAt(row) ? int(numberFormat(row, c).size()) : 0;
            longest = std::max({longest, characters(utf8, length), shown});
        });
        if (longest > 0)
            widths_[c] = std::min(255.0, longest + 1.0);
    }
}

// --------------------------------------------------------------- Sheets

Worksheet &Sheets::add()
{
    QString name;
    do
        name = QStringLiteral("Sheet%1").arg(++created_);
    while (find(name));
    auto sheet = std::make_unique<Worksheet>(name, this);
    Worksheet *added = sheet.get();
    auto at = std::find_if(sheets_.begin(), sheets_.end(), [&](const auto &s) { return s.get() == active_; });
    sheets_.insert(at, std::move(sheet));
    active_ = added;
    return *added;
}

Worksheet &Sheets::item(int index)
{
    if (index < 1 || index > count())
        throw Error(QStringLiteral("Worksheets: there is no sheet %1").arg(index));
    return *sheets_[std::size_t(index - 1)];
}

const Worksheet &Sheets::item(int index) const
{
    return const_cast<Sheets *>(this)->item(index);
}

Worksheet *Sheets::find(const QString &name)
{
    for (const auto &s : sheets_)
        if (s->name().compare(name, Qt::CaseInsensitive) == 0)
            return s.get();
    return nullptr;
}

// ------------------------------------------------------------- Workbook

Workbook::Workbook() : sheets_(this)
{
    sheets_.add(); // "Sheet1"
}

void Workbook::saveAs(const QString &path)
{
    if (closed_)
        throw Error(QStringLiteral("SaveAs: the workbook is closed"));
    writeXlsxFile(*this, path);
    fullName_ = path;
}

void Workbook::close(bool saveChanges, const QString &fileName)
{
    if (closed_)
        return;
    if (saveChanges) {
        const QString path = fileName.isEmpty() ? fullName_ : fileName;
        if (path.isEmpty())
            throw Error(QStringLiteral("Close: the workbook has no file name to save under"));
        saveAs(path);
    }
    sheets_.sheets_.clear();
    sheets_.active_ = nullptr;
    closed_ = true;
}

// ------------------------------------------------------------ Workbooks

Workbook &Workbooks::add()
{
    books_.push_back(std::make_unique<Workbook>());
    return *books_.back();
}

void Workbooks::close()
{
    for (auto &book : books_)
        book->close(false, {});
    books_.clear();
}

// ---------------------------------------------------------- Application

std::unique_ptr<Application> Application::start()
{
    try {
        if (const Starter &starter = starterOverride())
            return starter();
        return std::make_unique<Application>();
    } catch (const std::exception &) {
        return nullptr;
    }
}

void Application::setStarterForTesting(Starter starter)
{
    starterOverride() = std::move(starter);
}

void Application::quit()
{
    workbooks_.close();
    quit_ = true;
}

} // namespace sheet

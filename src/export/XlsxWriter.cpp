// SPDX-License-Identifier: GPL-3.0-or-later
#include "XlsxWriter.h"

#include "PosixFile.h"
#include "SpreadsheetApp.h"
#include "ZipCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <charconv>
#include <cstring>
#include <limits>
#include <mutex>
#include <sys/mman.h>
#include <utility>
#include <unistd.h>

namespace sheet {

namespace {

// Cells that carry a format without a text, summed over the sheet: far more
// than any export needs, small enough that a stray range cannot run for hours.
constexpr std::int64_t kMaxFormattedBlanks = 200'000'000;
constexpr int kNoRow = std::numeric_limits<int>::max();

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

[[noreturn]] void fail(const QString &path, const QString &why)
{
    throw Error(QStringLiteral("Cannot save \"%1\": %2").arg(QDir::toNativeSeparators(path), why));
}

// A number cell's text back to its value, whatever the locale's decimal
// point.
double numberOf(const std::string &text)
{
    double v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

// Rows of one column that must be written although they may hold no text:
// they lie in a range that was given a format of its own.
struct Interval {
    int top, bottom;
    lxw_format *format;
};

struct ColumnPlan {
    int column = 0;
    lxw_format *defaultFormat = nullptr; // the format of its unwritten cells
    bool hasDefault = false;
    std::vector<Interval> blanks;
    const Worksheet::Column *texts = nullptr;

    // Cursors of the row walk.
    int runIndex = 0;
    std::map<int, std::string>::const_iterator other;
    std::size_t blankIndex = 0;
    int blankRow = 0;

    int nextRow() const
    {
        int row = kNoRow;
        if (texts) {
            if (runIndex < texts->runRows())
                row = texts->first + runIndex;
            if (other != texts->others.end())
                row = std::min(row, other->first);
        }
        if (blankIndex < blanks.size())
            row = std::min(row, blankRow);
        return row;
    }
};

class FormatTable {
public:
    FormatTable(lxw_workbook *book, const Worksheet &sheet) : book_(book)
    {
        for (const QString &text : sheet.formats())
            formats_.push_back(lookup(text));
    }
    lxw_format *operator[](int index) const { return formats_[std::size_t(index)]; }

private:
    lxw_format *lookup(const QString &text)
    {
        if (text.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
            return nullptr;
        const std::string utf8 = text.toStdString();
        auto it = byText_.find(utf8);
        if (it != byText_.end())
            return it->second;
        lxw_format *f = workbook_add_format(book_);
        if (!f)
            throw Error(QStringLiteral("out of memory"));
        format_set_num_format(f, utf8.c_str());
        byText_[utf8] = f;
        return f;
    }

    lxw_workbook *book_;
    std::vector<lxw_format *> formats_;
    std::map<std::string, lxw_format *> byText_;
};

// How each column's cells are formatted: rules covering whole columns set the
// column's own format; finite ranges are written cell by cell.
std::vector<ColumnPlan> planColumns(const Worksheet &sheet, const FormatTable &formats, std::int64_t &blankCells)
{
    const auto &rules = sheet.formatRules();
    int lastColumn = sheet.columnCountUsed();
    for (const auto &r : rules)
        lastColumn = std::max(lastColumn, r.right);

    std::vector<ColumnPlan> plans;
    std::vector<int> touching;
    std::vector<int> bounds;
    for (int c = 1; c <= lastColumn; ++c) {
        touching.clear();
        for (int i = 0; i < int(rules.size()); ++i)
            if (rules[std::size_t(i)].left <= c && c <= rules[std::size_t(i)].right)
                touching.push_back(i);
        const Worksheet::Column *texts = sheet.column(c);
        if (texts && texts->ends.empty() && texts->others.empty())
            texts = nullptr;
        if (touching.empty() && !texts)
            continue;

        ColumnPlan plan;
        plan.column = c;
        plan.texts = texts;
        bounds.assign({1, kMaxRows + 1});
        for (int i : touching) {
            const auto &r = rules[std::size_t(i)];
            if (r.top == 1 && r.bottom == kMaxRows) {
                plan.defaultFormat = formats[r.format]; // the last one wins
                plan.hasDefault = true;
            }
            bounds.push_back(r.top);
            bounds.push_back(r.bottom + 1);
        }
        std::sort(bounds.begin(), bounds.end());
        bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
        for (std::size_t b = 0; b + 1 < bounds.size(); ++b) {
            const int top = bounds[b], bottom = bounds[b + 1] - 1;
            bool finite = false;
            int decides = -1;
            for (int i : touching) {
                const auto &r = rules[std::size_t(i)];
                if (r.top <= top && bottom <= r.bottom) {
                    decides = i;
                    finite = finite || !(r.top == 1 && r.bottom == kMaxRows);
                }
            }
            if (!finite)
                continue;
            lxw_format *f = formats[rules[std::size_t(decides)].format];
            if (!plan.blanks.empty() && plan.blanks.back().format == f && plan.blanks.back().bottom + 1 == top)
                plan.blanks.back().bottom = bottom;
            else
                plan.blanks.push_back({top, bottom, f});
            blankCells += bottom - top + 1;
        }
        plans.push_back(std::move(plan));
    }
    return plans;
}

// libxlsxwriter prints "[ERROR][./src/packager.c:1541]: …" lines of its
// own to standard error before it returns the error that is reported here
// in the user's words. While it works, standard error goes into a memory
// file; what else was printed meanwhile (another thread's message) is
// passed on afterwards. One save at a time does so.
class QuietStderr {
public:
    QuietStderr()
    {
        mutex().lock();
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        capture_ = ::memfd_create("breezon-xlsxwriter", MFD_CLOEXEC);
        if (saved_ < 0 || capture_ < 0 || ::dup2(capture_, STDERR_FILENO) < 0)
            release();
    }
    ~QuietStderr()
    {
        std::fflush(stderr);
        if (saved_ >= 0 && capture_ >= 0 && ::dup2(saved_, STDERR_FILENO) >= 0) {
            QByteArray printed(qsizetype(::lseek(capture_, 0, SEEK_END)), Qt::Uninitialized);
            const ssize_t n = ::pread(capture_, printed.data(), std::size_t(printed.size()), 0);
            printed.resize(n > 0 ? qsizetype(n) : 0);
            for (const QByteArray &line : printed.split('\n'))
                if (!line.isEmpty() && !line.startsWith("[ERROR]") && !line.startsWith("[WARNING]"))
                    posix_file::writeAll(STDERR_FILENO, (line + '\n').constData(), std::size_t(line.size() + 1));
        }
        release();
        mutex().unlock();
    }
    QuietStderr(const QuietStderr &) = delete;
    QuietStderr &operator=(const QuietStderr &) = delete;

private:
    static std::mutex &mutex()
    {
        static std::mutex m;
        return m;
    }
    void release()
    {
        for (int *fd : {&saved_, &capture_})
            if (*fd >= 0)
                ::close(std::exchange(*fd, -1));
    }
    int saved_ = -1;
    int capture_ = -1;
};

// libxlsxwriter's failures in the words the program's other files use: the
// system's reason where there is one ("No space left on device").
QString wordsFor(lxw_error error, int systemErrno)
{
    if (error == LXW_ERROR_MEMORY_MALLOC_FAILED)
        return QStringLiteral("out of memory");
    if (systemErrno != 0)
        return systemError(systemErrno);
    switch (error) {
    case LXW_ERROR_CREATING_XLSX_FILE: return QStringLiteral("the file cannot be created");
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE: return QStringLiteral("its temporary data cannot be written (is the disk full?)");
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE: return QStringLiteral("the file cannot be written (is the disk full?)");
    default: return QString::fromUtf8(lxw_strerror(error));
    }
}

void check(lxw_error error, const QString &path)
{
    if (error != LXW_NO_ERROR)
        fail(path, QString::fromUtf8(lxw_strerror(error)));
}

void setColumns(lxw_worksheet *ws, const Worksheet &sheet, const std::vector<ColumnPlan> &plans, const QString &path)
{
    // Neighbouring columns with the same format and no width of their own
    // share one entry, as the whole grid's format does.
    std::size_t i = 0;
    while (i < plans.size()) {
        const ColumnPlan &p = plans[i];
        const double width = sheet.columnWidth(p.column);
        if (width <= 0 && !p.hasDefault) {
            ++i;
            continue;
        }
        std::size_t j = i;
        if (width <= 0) {
            while (j + 1 < plans.size() && plans[j + 1].column == plans[j].column + 1 && plans[j + 1].hasDefault &&
                   plans[j + 1].defaultFormat == p.defaultFormat && sheet.columnWidth(plans[j + 1].column) <= 0)
                ++j;
        }
        check(worksheet_set_column(ws, lxw_col_t(p.column - 1), lxw_col_t(plans[j].column - 1),
                                   width > 0 ? width : LXW_DEF_COL_WIDTH, p.hasDefault ? p.defaultFormat : nullptr),
              path);
        i = j + 1;
    }
}

void writeCells(lxw_worksheet *ws, std::vector<ColumnPlan> &plans, const QString &path)
{
    std::vector<ColumnPlan *> active;
    for (ColumnPlan &p : plans) {
        if (!p.texts && p.blanks.empty())
            continue;
        if (p.texts)
            p.other = p.texts->others.begin();
        if (!p.blanks.empty())
            p.blankRow = p.blanks.front().top;
        active.push_back(&p);
    }
    std::string text;
    int row = kNoRow;
    for (ColumnPlan *p : active)
        row = std::min(row, p->nextRow());
    while (row != kNoRow) {
        int next = kNoRow;
        for (ColumnPlan *p : active) {
            if (p->nextRow() == row) {
                bool hasText = false;
                bool number = false;
                if (p->texts) {
                    const auto *t = p->texts;
                    const bool inRun = p->runIndex < t->runRows() && t->first + p->runIndex == row;
                    if (p->other != t->others.end() && p->other->first == row) {
                        text = p->other->second;
                        hasText = true;
                        number = t->otherNumbers.count(row) != 0;
                        ++p->other;
                    } else if (inRun) {
                        const std::size_t i = std::size_t(p->runIndex);
                        const std::size_t begin = i == 0 ? 0 : t->ends[i - 1];
                        text.assign(t->bytes.data() + begin, t->ends[i] - begin);
                        hasText = true;
                        number = i < t->runNumbers.size() && t->runNumbers[i];
                    }
                    if (inRun)
                        ++p->runIndex;
                }
                lxw_format *format = p->defaultFormat;
                bool blank = false;
                if (p->blankIndex < p->blanks.size() && p->blankRow == row) {
                    format = p->blanks[p->blankIndex].format;
                    blank = true;
                    if (++p->blankRow > p->blanks[p->blankIndex].bottom && ++p->blankIndex < p->blanks.size())
                        p->blankRow = p->blanks[p->blankIndex].top;
                }
                const lxw_row_t r = lxw_row_t(row - 1);
                const lxw_col_t c = lxw_col_t(p->column - 1);
                if (hasText && number)
                    check(worksheet_write_number(ws, r, c, numberOf(text), format), path);
                else if (hasText && !text.empty())
                    check(worksheet_write_string(ws, r, c, text.c_str(), format), path);
                else if (blank && format)
                    check(worksheet_write_blank(ws, r, c, format), path);
            }
            next = std::min(next, p->nextRow());
        }
        row = next;
    }
}

// Flushes what libxlsxwriter has buffered for a sheet and tells whether its
// temporary files took every byte; it does not check them itself.
bool sheetDataWritten(lxw_worksheet *ws, std::uint64_t &bytes)
{
    lxw_worksheet_write_single_row(ws);
    bool ok = true;
    for (FILE *f : {ws->optimize_tmpfile, ws->file}) {
        if (!f)
            continue;
        if (std::fflush(f) != 0 || std::ferror(f))
            ok = false;
    }
    if (ws->optimize_tmpfile) {
        const long at = std::ftell(ws->optimize_tmpfile);
        bytes = at > 0 ? std::uint64_t(at) : 0;
    }
    return ok;
}

} // namespace

void writeXlsxFile(const Workbook &book, const QString &path)
{
    if (path.isEmpty())
        fail(path, systemError(ENOENT));
    const QFileInfo target(path);
    if (target.isDir())
        fail(path, systemError(EISDIR));
    if (target.exists() && !target.isFile())
        fail(path, QStringLiteral("it is not a regular file"));
    // A temporary name beside the final one (a link is written through), so
    // the rename cannot cross file systems and libxlsxwriter's own temporary
    // data lands on the same disk as the file.
    posix_file::AtomicFile temp(path);
    if (!temp.begin())
        fail(path, temp.error());
    if (temp.temporaryPath().isEmpty())
        fail(path, QStringLiteral("it is not a regular file"));
    const QString folder = QFileInfo(temp.temporaryPath()).absolutePath();

    const QuietStderr quiet;
    const QByteArray tmpdir = QFile::encodeName(folder);
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char *>(tmpdir.constData());
    options.use_zip64 = LXW_FALSE;
    lxw_workbook *wb = workbook_new_opt(QFile::encodeName(temp.temporaryPath()).constData(), &options);
    if (!wb)
        fail(path, QStringLiteral("out of memory"));

    // Whatever happens below, the workbook is closed (and its memory freed).
    struct Closer {
        lxw_workbook *wb;
        ~Closer()
        {
            if (wb)
                workbook_close(wb);
        }
    } closer{wb};

    std::map<std::string, std::uint64_t> sheetBytes; // member name -> bytes of cell data
    const Sheets &sheets = book.worksheets();
    bool dataWritten = true;
    for (int s = 1; s <= sheets.count(); ++s) {
        const Worksheet &sheet = sheets.item(s);
        lxw_worksheet *ws = workbook_add_worksheet(wb, sheet.name().toUtf8().constData());
        if (!ws)
            fail(path, QStringLiteral("the temporary data cannot be created in %1").arg(folder));
        if (&sheet == sheets.active())
            worksheet_activate(ws);

        FormatTable formats(wb, sheet);
        std::int64_t blanks = 0;
        std::vector<ColumnPlan> plans = planColumns(sheet, formats, blanks);
        if (blanks > kMaxFormattedBlanks)
            fail(path, QStringLiteral("too many formatted cells in sheet \"%1\"").arg(sheet.name()));
        writeCells(ws, plans, path);
        // Column formats widen libxlsxwriter's idea of the used range to
        // every formatted column (all 16,384 for the whole grid), and its row
        // writer then walks that many cells for every row: give the columns
        // their formats after the rows, and keep the used range the cells'.
        const lxw_row_t rowMin = ws->dim_rowmin, rowMax = ws->dim_rowmax;
        const lxw_col_t colMin = ws->dim_colmin, colMax = ws->dim_colmax;
        setColumns(ws, sheet, plans, path);
        ws->dim_rowmin = rowMin;
        ws->dim_rowmax = rowMax;
        ws->dim_colmin = colMin;
        ws->dim_colmax = colMax;
        std::uint64_t bytes = 0;
        dataWritten = sheetDataWritten(ws, bytes) && dataWritten;
        sheetBytes["xl/worksheets/sheet" + std::to_string(s) + ".xml"] = bytes;
    }
    if (!dataWritten)
        fail(path, QStringLiteral("its temporary data could not be written (is the disk full?)"));

    closer.wb = nullptr;
    errno = 0;
    const lxw_error closed = workbook_close(wb);
    const int closeErrno = errno;
    if (closed != LXW_NO_ERROR)
        fail(path, wordsFor(closed, closeErrno));

    const ZipCheckResult whole = checkZipPackage(temp.temporaryPath());
    if (!whole.ok())
        fail(path, QStringLiteral("the file written is incomplete: %1 (is the disk full?)").arg(whole.problem));
    for (const auto &[member, bytes] : sheetBytes) {
        auto it = whole.sizes.find(member);
        if (it == whole.sizes.end() || it->second < bytes)
            fail(path, QStringLiteral("the file written is incomplete: %1 is cut short (is the disk full?)")
                           .arg(QString::fromStdString(member)));
    }

    // On disk before it takes the final name.
    if (!temp.commit())
        fail(path, temp.error());
}

} // namespace sheet

// SPDX-License-Identifier: GPL-3.0-or-later
#include "SpreadsheetExport.h"

#include "ExcelLink.h"
#include "ReadingListModel.h"
#include "Timestamp.h"
#include "ZipCheck.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <new>

namespace {

void show(const SpreadsheetHooks &hooks, const QString &text)
{
    if (hooks.status)
        hooks.status(text);
}

// Days since 1899-12-30 in local time: how a spreadsheet keeps a date.
double serialDate(const Timestamp &t)
{
    return double(t.localMs()) / 86400000.0 + 25569.0;
}

// One sheet: list rows first to first + count - 1 below the header row.
void fillSheet(ExcelLink &link, const ReadingListModel &rows, int first, int count, const QString &name,
               const SpreadsheetLayout &layout, const SpreadsheetHooks *progress)
{
    link.addSheet(name);
    link.setNumberFormat(QStringLiteral("@"));
    static const char *const headers[] = {"No.", "Time", "Value", " ", "%RH", " ", "Temp", " ", "Timestamp",
                                          "UTC offset"};
    const int columns = layout.timestamps ? 10 : 8;
    for (int c = 0; c < columns; ++c)
        link.SetItem(c + 1, QString::fromLatin1(headers[c]), 1);

    // The formatted rectangle reaches one row below the data, as far as the
    // grid goes.
    const QString lastText = QString::number(std::min(count + 2, sheet::kMaxRows));
    for (int k = 0; k < columns; ++k) {
        const QChar letter(u'A' + k);
        link.selectRange(QString(letter) + QLatin1Char('2'), QString(letter) + lastText);
        if (k == 8) {
            link.setNumberFormat(QStringLiteral("yyyy-mm-dd hh:mm:ss.000"));
            for (int i = 0; i < count; ++i)
                link.SetValue(1, serialDate(rows.timestamp(first + i)), i + 1);
            continue;
        }
        if (k == 9) { // the offset of each local time, so an hour that comes twice stays apart
            link.setNumberFormat(QStringLiteral("@"));
            for (int i = 0; i < count; ++i)
                link.SetItem(1, rows.timestamp(first + i).isoText().right(6), i + 1);
            continue;
        }
        link.setNumberFormat(k % 2 == 0 ? QStringLiteral("0_ ") : QStringLiteral("@"));
        for (int i = 0; i < count; ++i)
            link.SetItem(1, rows.cellText(first + i, k), i + 1);
        if (progress && (k == 1 || k == 3 || k == 5)) // 25, 50 and 75 %
            show(*progress, QStringLiteral("finish %1%,please wait...").arg((k + 1) / 2 * 25));
    }
    link.selectCells();
    link.autoFitColumns();
}

ExportResult fill(ExcelLink &link, const ReadingListModel &rows, const QString &path, const SpreadsheetHooks &hooks,
                  const SpreadsheetLayout &layout)
{
    if (!link.init()) {
        // The message box has told the user already.
        ExportResult r = ExportResult::failure({});
        r.reported = true;
        return r;
    }
    show(hooks, QStringLiteral("start to save excel,please wait..."));

    const int n = rows.itemCount();
    const int per = std::max(1, layout.rowsPerSheet);
    const int sheets = n <= per ? 1 : (n - 1) / per + 1;
    // A new sheet goes before the active one: the last part is made first,
    // so the tabs read "KQ-VANE", "KQ-VANE 2", ... from the left.
    for (int s = sheets - 1; s >= 0; --s) {
        const QString name = s == 0 ? QStringLiteral("KQ-VANE") : QStringLiteral("KQ-VANE %1").arg(s + 1);
        const int first = s * per;
        fillSheet(link, rows, first, std::min(per, n - first), name, layout, sheets == 1 ? &hooks : nullptr);
        if (sheets > 1)
            show(hooks, QStringLiteral("finish %1%,please wait...").arg((sheets - s) * 100 / sheets));
    }
    link.saveWorkbook(path);
    show(hooks, QStringLiteral("save excel file successfully"));
    return ExportResult::success();
}

} // namespace

ExportResult exportSpreadsheet(const ReadingListModel &rows, const QString &path, const SpreadsheetHooks &hooks,
                               const SpreadsheetLayout &layout)
{
    try {
        // The link ends when this scope is left, also by an exception.
        ExcelLink link(hooks.message);
        return fill(link, rows, path, hooks, layout);
    } catch (const sheet::Error &e) {
        return ExportResult::failure(e.message());
    } catch (const std::bad_alloc &) {
        return ExportResult::failure(QStringLiteral("Not enough memory to build the worksheet."));
    }
}

std::optional<std::int64_t> workbookRows(const QString &path, bool count)
{
    const ZipCheckResult package =
        count ? checkZipPackage(path) : checkZipPackage(path, [](const std::string &m) { return m == "xl/workbook.xml"; });
    if (!package.ok())
        return std::nullopt;
    const auto workbook = package.heads.find("xl/workbook.xml");
    if (workbook == package.heads.end() || workbook->second.find("name=\"KQ-VANE\"") == std::string::npos)
        return std::nullopt;
    // The last row holding a value ends each sheet's part (formatted but
    // empty rows may follow it); its number less the header row is the
    // sheet's count of list rows.
    std::int64_t rows = 0;
    for (const auto &[name, tail] : package.tails) {
        if (name.rfind("xl/worksheets/sheet", 0) != 0)
            continue;
        const std::size_t value = tail.rfind("<v>");
        const std::size_t row = value == std::string::npos ? value : tail.rfind("<row r=\"", value);
        if (row == std::string::npos)
            continue;
        const std::int64_t last = std::atoll(tail.c_str() + row + 8);
        rows += std::max<std::int64_t>(0, last - 1);
    }
    return rows;
}

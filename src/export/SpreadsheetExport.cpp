#include "SpreadsheetExport.h"

#include "ExcelLink.h"
#include "ReadingListModel.h"

#include <algorithm>
#include <new>

namespace {

void show(const SpreadsheetHooks &hooks, const QString &text)
{
    if (hooks.status)
        hooks.status(text);
}

ExportResult fill(ExcelLink &link, const ReadingListModel &rows, const QString &path, const SpreadsheetHooks &hooks)
{
    if (!link.init()) {
        // The message box has told the user already.
        ExportResult r = ExportResult::failure({});
        r.reported = true;
        return r;
    }
    show(hooks, QStringLiteral("start to save excel,please wait..."));

    link.addSheet(QStringLiteral("KQ-VANE"));
    link.setNumberFormat(QStringLiteral("@"));
    static const char *const headers[] = {"No.", "Time", "Value", " ", "%RH", " ", "Temp", " "};
    for (int c = 0; c < 8; ++c)
        link.SetItem(c + 1, QString::fromLatin1(headers[c]), 1);

    const int n = rows.itemCount();
    if (n > kMaxSpreadsheetRows)
        return ExportResult::failure(
            QStringLiteral("The list has %1 rows; a worksheet holds at most %2 below its header row.")
                .arg(n)
                .arg(kMaxSpreadsheetRows));
    // The formatted rectangle reaches one row below the data, as far as the
    // grid goes.
    const int last = std::min(n + 2, sheet::kMaxRows);
    const QString lastText = QString::number(last);

    for (int k = 0; k < 8; ++k) {
        const QChar letter(u'A' + k);
        link.selectRange(QString(letter) + QLatin1Char('2'), QString(letter) + lastText);
        link.setNumberFormat(k % 2 == 0 ? QStringLiteral("0_ ") : QStringLiteral("@"));
        for (int i = 0; i < n; ++i)
            link.SetItem(1, rows.cellText(i, k), i + 1);
        if (k == 1)
            show(hooks, QStringLiteral("finish 25%,please wait..."));
        else if (k == 3)
            show(hooks, QStringLiteral("finish 50%,please wait..."));
        else if (k == 5)
            show(hooks, QStringLiteral("finish 75%,please wait..."));
    }

    link.selectCells();
    link.autoFitColumns();
    link.saveWorkbook(path);
    show(hooks, QStringLiteral("save excel file successfully"));
    return ExportResult::success();
}

} // namespace

ExportResult exportSpreadsheet(const ReadingListModel &rows, const QString &path, const SpreadsheetHooks &hooks)
{
    try {
        // The link ends when this scope is left, also by an exception.
        ExcelLink link(hooks.message);
        return fill(link, rows, path, hooks);
    } catch (const sheet::Error &e) {
        return ExportResult::failure(e.message());
    } catch (const std::bad_alloc &) {
        return ExportResult::failure(QStringLiteral("Not enough memory to build the worksheet."));
    }
}

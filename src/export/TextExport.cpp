// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextExport.h"

#include "PosixFile.h"
#include "ReadingListModel.h"

#include <QtEndian>

namespace {

constexpr int kFieldWidth = 10;
constexpr int kLeadPad = 8;
// Lines are gathered up to about this many bytes before one write().
constexpr qsizetype kFlushBytes = 1 << 20;

template <typename CellOf>
void appendCells(QString &out, CellOf cellOf)
{
    for (int column = 0; column < 2; ++column) {
        out += cellOf(column);
        out.append(QLatin1String("        ", kLeadPad));
    }
    for (int column = 2; column < ReadingListModel::kColumns; ++column) {
        const QString cell = cellOf(column);
        out += cell;
        if (cell.size() <= kFieldWidth)
            out.append(QLatin1String("          ", kFieldWidth - cell.size()));
        else
            out += QLatin1Char('\t');
    }
    out += QLatin1String("\r\n");
}

void appendLine(QString &out, const ReadingListModel &rows, int row)
{
    appendCells(out, [&](int column) { return rows.cellText(row, column); });
}

void appendBytes(QByteArray &out, const QString &text)
{
    const qsizetype start = out.size();
    out.resize(start + 2 * text.size());
    qToLittleEndian<quint16>(text.utf16(), text.size(), out.data() + start);
}

} // namespace

QString textLine(const ReadingListModel &rows, int row)
{
    QString line;
    line.reserve(96); // a line's usual length: no growing on the way
    appendLine(line, rows, row);
    return line;
}

QString textLineOfCells(const std::array<QString, 8> &cells)
{
    QString line;
    line.reserve(96);
    appendCells(line, [&](int column) { return cells[std::size_t(column)]; });
    return line;
}

QByteArray textLineBytes(const QString &line)
{
    QByteArray bytes;
    appendBytes(bytes, line);
    return bytes;
}

ExportResult writeTextFile(const QString &path, const ReadingListModel &rows)
{
    return posix_file::replaceFile(path, [&rows](int fd) {
        // Lines gather in one buffer and go out in large writes; a QString
        // already holds UTF-16 code units, little-endian on little-endian
        // hosts.
        QString text;
        text.reserve(kFlushBytes / 2 + 1024);
        QByteArray bytes;
        const auto flush = [&] {
            const char *data;
            std::size_t size;
            if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
                data = reinterpret_cast<const char *>(text.utf16());
                size = std::size_t(text.size()) * 2;
            } else {
                bytes.resize(0);
                appendBytes(bytes, text);
                data = bytes.constData();
                size = std::size_t(bytes.size());
            }
            const bool ok = posix_file::writeAll(fd, data, size);
            text.resize(0);
            return ok;
        };
        const int n = rows.itemCount();
        for (int i = 0; i < n; ++i) {
            appendLine(text, rows, i);
            if ((text.size() * 2 >= kFlushBytes || i == n - 1) && !flush())
                return false;
        }
        return true;
    });
}

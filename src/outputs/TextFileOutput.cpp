// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextFileOutput.h"

#include "TextExport.h"

#include <QStringList>
#include <QtEndian>

QByteArray TextFileOutput::record(const RowRecord &row) const
{
    return textLineBytes(textLineOfCells(cellsOf(row)));
}

QByteArray TextFileOutput::lineEnd() const
{
    return textLineBytes(QStringLiteral("\r\n"));
}

namespace {

// `bytes` as UTF-16LE text, an odd last byte left out.
QString utf16(const QByteArray &bytes)
{
    QString text(bytes.size() / 2, Qt::Uninitialized);
    qFromLittleEndian<quint16>(bytes.constData(), text.size(), text.data());
    return text;
}

// Whether `line` (its line end taken off) may be one of ours, or the start
// of one: the row's number first, then printable text and tabs.
bool oursOrItsStart(const QString &line)
{
    if (line.isEmpty() || !line[0].isDigit())
        return false;
    for (const QChar c : line)
        if ((c.unicode() < 0x20 && c != QLatin1Char('\t')) || c.isSurrogate() || c.unicode() == 0xFFFE)
            return false;
    return true;
}

} // namespace

QString TextFileOutput::whyNotOurs(const LiveFile::Existing &e) const
{
    QStringList lines;
    if (e.head.isEmpty()) { // no whole line: what a start cut short leaves
        QString start = utf16(e.torn);
        if (start.endsWith(QLatin1Char('\r')))
            start.chop(1);
        lines << (e.torn.size() == 1 && e.torn[0] >= '0' && e.torn[0] <= '9' ? QStringLiteral("0") : start);
    } else {
        for (const QByteArray *part : {&e.head, &e.tail}) {
            QStringList some = utf16(*part).split(QStringLiteral("\r\n"));
            some.removeLast(); // after the last line end
            lines += some;
        }
    }
    for (const QString &line : lines)
        if (!oursOrItsStart(line))
            return QStringLiteral("it is not a text file breezon wrote (UTF-16, a row to a line); give a new file name");
    return {};
}

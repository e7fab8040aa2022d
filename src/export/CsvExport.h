// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Comma-separated records of the rows (RFC 4180): UTF-8, a header record,
// one record per row with its full timestamp and the texts as the list
// shows them, fields quoted where they need it, "\r\n" after every record.

#include <QByteArray>
#include <QString>
#include <QStringList>

QByteArray csvHeader();
// A record of any fields.
QByteArray csvRecordOf(const QStringList &fields);

// One field as RFC 4180 wants it: quoted, with quotes doubled, when it holds
// a comma, a quote, a carriage return or a line feed.
QString csvField(const QString &text);

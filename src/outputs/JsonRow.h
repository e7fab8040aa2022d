// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A row as one JSON object under the shared field names (RowFields.h): the
// MQTT payload and each line of `--stdout jsonl`, led by the instrument's
// name and its host, so that rows of a fleet never mix. Numbers are written
// as numbers (the list's texts are valid JSON numbers), an empty text as
// null; every other text is escaped as JSON wants, whatever it holds.

#include "RowFields.h"

#include <QByteArray>

// One line of compact UTF-8 JSON, without a newline.
QByteArray jsonRow(const RowFields &fields, const QString &instrument, const QString &host);

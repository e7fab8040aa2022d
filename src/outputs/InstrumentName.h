// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What names an instrument in every output (`--name`): the line protocol's
// `instrument` tag, the JSON rows, the topic prefix, the Home Assistant
// device and the recording file in the recordings folder. A name must be
// carried by all of them unchanged, so that two instruments never share a
// series and a consumer finds each by the name it was given.

#include <QString>

// The longest name in bytes of UTF-8: the recording file NAME.breezon and
// its helper files must stay within a file name's 255 bytes.
inline constexpr int kMostNameBytes = 240;

// The port's file name ("ttyUSB0", or the /dev/serial/by-id/ name), "demo"
// for the simulated instrument.
QString instrumentName(const QString &port);

// The name when --name gives none: the host's name and the port's,
// "HOST-PORT" ("board7-ttyUSB0"), with what no output can carry replaced by
// '_', so it always works and stays the same from one start to the next.
QString defaultInstrumentName(const QString &hostName, const QString &port);

// The host's name as outputs carry it ("localhost" when it has none).
QString carriedHostName(const QString &hostName);

// Why `name` cannot name an instrument; empty when it can. Refused: an
// empty name, control characters (a newline would split a line of the line
// protocol), a backslash at the end or before a space, comma or equals sign
// (InfluxDB 1.x takes it for an escape and refuses the line or changes the
// name), and more than kMostNameBytes.
QString nameProblem(const QString &name);

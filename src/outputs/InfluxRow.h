// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A row as one line of InfluxDB's line protocol, for `--stdout influx`
// (Telegraf's execd input, or any pipe into InfluxDB):
//   breezon,instrument=duct7,host=board7,mode=speed,unit=m/s,temperature_unit=C,hold=current
//   speed=5.38,rh=50.9,temperature=24.6,value=5.38,area=1.234,temperature_c=24.6,seq=7i
//   1796729371512000000   (one line)
// Tags are what a series is told apart by: the instrument and its host, so
// that no two instruments share a series, and what the instrument showed
// (mode, units, a held value, a dew point or wet bulb), so that a plain
// WHERE picks live readings. Fields are the numbers under the shared names
// (RowFields.h); temperature_c, speed (m/s) and flow_m3_h never change unit,
// so they aggregate across instruments and settings without grouping. A tag
// or field with no value (mode "none", no marker, no flow) is left out.

#include "RowFields.h"

#include <QByteArray>
#include <QString>

// One line without a newline.
QByteArray influxRow(const RowFields &fields, const QString &instrument, const QString &host);

// A tag key or value, or a field key, as the line protocol carries it: a
// comma, an equals sign and a space each escaped by a backslash. A text
// with a control character or a backslash before one of those cannot be
// carried (InstrumentName.h refuses such a name).
QByteArray influxTag(const QString &text);

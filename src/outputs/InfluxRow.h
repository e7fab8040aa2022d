// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A row as one line of InfluxDB's line protocol, for `--stdout influx`
// (Telegraf's execd input, or any pipe into InfluxDB):
//   breezon,instrument=ttyUSB0,mode=speed,unit=m/s,temperature_unit=C,hold=current speed=5.38,rh=50.9,
//   temperature=24.6,value=5.38,area=1.234,seq=7i 1796729371512000000   (one line)
// Tags are what a series is told apart by; fields are the numbers, under the
// shared names (RowFields.h). A tag or field with no value (mode "none", no
// marker) is left out.

#include "RowFields.h"

#include <QByteArray>
#include <QString>

// One line without a newline. `instrument` names the series (the port's name).
QByteArray influxRow(const RowFields &fields, const QString &instrument);

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// `--options-file FILE`: more options from a file, as the service reads
// /etc/breezon/NAME.conf. One option a line, written as on the command line;
// the value is the rest of the line after the option and its spaces, as it
// is (spaces inside kept, spaces at its end dropped, no quoting and no
// escapes), so a file name with spaces needs nothing special ("--csv=a b.csv"
// is the same as "--csv a b.csv"):
//
//   # duct 7, second floor
//   --port /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0
//   --csv duct 7.csv
//   --ha-discovery
//
// Empty lines and lines starting with '#' are skipped. The options land
// where the option --options-file stood, so options after it on the command
// line win over the file's.

#include <QString>
#include <QStringList>

#include <optional>

// The command-line words of the file's `text`; the reason, naming `path`
// and the line, when a line is not an option.
std::optional<QStringList> optionsFromText(const QString &text, const QString &path, QString *why);

// `args` with every "--options-file FILE" replaced by FILE's options.
std::optional<QStringList> withOptionsFiles(const QStringList &args, QString *why);

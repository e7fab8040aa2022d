// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An uncompressed 32-bit BMP: 14-byte file header, 40-byte information
// header, rows bottom-up.

#include "ExportResult.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

// `pixels` holds `height` rows of `width` 32-bit pixels (0xAARRGGBB as
// QImage::Format_RGB32 keeps them), top row first, `bytesPerLine` apart.
QByteArray bmpFile(const std::uint8_t *pixels, int width, int height, std::ptrdiff_t bytesPerLine);

// Writes `bytes` to `path`, replacing an existing file only once the new
// one is complete (posix_file::AtomicFile).
ExportResult writeWholeFile(const QString &path, const QByteArray &bytes);

// SPDX-License-Identifier: GPL-3.0-or-later
#include "BmpFile.h"

#include "PosixFile.h"

#include <QtEndian>

#include <limits>

namespace {

constexpr int kFileHeaderBytes = 14;
constexpr int kInfoHeaderBytes = 40;
constexpr int kHeaderBytes = kFileHeaderBytes + kInfoHeaderBytes;
constexpr int kBitsPerPixel = 32;

void put16(char *at, std::uint16_t v) { qToLittleEndian(v, at); }
void put32(char *at, std::uint32_t v) { qToLittleEndian(v, at); }

} // namespace

QByteArray bmpFile(const std::uint8_t *pixels, int width, int height, std::ptrdiff_t bytesPerLine)
{
    if (width < 0 || height < 0 || (width > 0 && height > 0 && !pixels))
        return {};
    // 32 bits per pixel: a row is already a whole number of 4-byte words.
    const std::uint64_t rowBytes = std::uint64_t(width) * 4;
    const std::uint64_t pixelBytes = rowBytes * std::uint64_t(height);
    if (pixelBytes + kHeaderBytes > std::uint64_t(std::numeric_limits<std::int32_t>::max()))
        return {};

    QByteArray out(qsizetype(kHeaderBytes + pixelBytes), '\0');
    char *h = out.data();
    // File header.
    h[0] = 'B';
    h[1] = 'M';
    put32(h + 2, std::uint32_t(kHeaderBytes + pixelBytes));
    put16(h + 6, 0);
    put16(h + 8, 0);
    put32(h + 10, kHeaderBytes);
    // Information header; a positive height means bottom row first.
    put32(h + 14, kInfoHeaderBytes);
    put32(h + 18, std::uint32_t(width));
    put32(h + 22, std::uint32_t(height));
    put16(h + 26, 1);
    put16(h + 28, kBitsPerPixel);
    put32(h + 30, 0); // uncompressed RGB
    put32(h + 34, std::uint32_t(pixelBytes));
    put32(h + 38, 0);
    put32(h + 42, 0);
    put32(h + 46, 0);
    put32(h + 50, 0);

    char *dst = h + kHeaderBytes;
    for (int y = height - 1; y >= 0; --y) {
        const auto *src = reinterpret_cast<const std::uint32_t *>(pixels + std::ptrdiff_t(y) * bytesPerLine);
        for (int x = 0; x < width; ++x) {
            // Blue, green, red, then the unused fourth byte left 0.
            put32(dst, src[x] & 0x00FFFFFFu);
            dst += 4;
        }
    }
    return out;
}

ExportResult writeWholeFile(const QString &path, const QByteArray &bytes)
{
    return posix_file::replaceFile(
        path, [&bytes](int fd) { return posix_file::writeAll(fd, bytes.constData(), std::size_t(bytes.size())); });
}

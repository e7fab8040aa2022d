// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoredRow.h"

#include "RowFields.h"

#include <zlib.h>

#include <bit>
#include <cstring>

namespace {

// The bytes a checksum is taken over: integers and reals as 8 bytes,
// big-endian; text as UTF-8 ending in a zero byte; a null as the one byte
// 0xFF, which UTF-8 never holds.
class ChecksumBytes {
public:
    void integer(std::int64_t v) { bigEndian(std::uint64_t(v)); }
    void real(double v) { bigEndian(std::bit_cast<std::uint64_t>(v)); }
    void text(std::string_view s)
    {
        crc_ = crc32(crc_, reinterpret_cast<const Bytef *>(s.data()), uInt(s.size()));
        byte(0);
    }
    void blob(const std::uint8_t *data, std::size_t size) { crc_ = crc32(crc_, data, uInt(size)); }
    void null() { byte(0xFF); }
    void real(const std::optional<double> &v) { v ? real(*v) : null(); }
    template <class Text>
    void text(const std::optional<Text> &v)
    {
        v ? text(std::string_view(*v)) : null();
    }
    std::uint32_t value() const { return std::uint32_t(crc_); }

private:
    void byte(std::uint8_t b) { crc_ = crc32(crc_, &b, 1); }
    void bigEndian(std::uint64_t v)
    {
        std::uint8_t b[8];
        for (int i = 0; i < 8; ++i)
            b[i] = std::uint8_t(v >> (56 - 8 * i));
        crc_ = crc32(crc_, b, 8);
    }
    uLong crc_ = crc32(0, nullptr, 0);
};

std::optional<std::string> orNull(const QString &text)
{
    return text.isEmpty() ? std::nullopt : std::optional<std::string>(text.toStdString());
}

} // namespace

template <class Text>
std::uint32_t BasicStoredRow<Text>::checksum() const
{
    ChecksumBytes c;
    c.integer(seq);
    c.integer(unixMs);
    c.text(time);
    c.blob(frame.data(), frame.size());
    c.text(mode);
    c.real(value);
    c.text(unit);
    c.real(rh);
    c.real(temperature);
    c.text(temperatureUnit);
    c.text(marker);
    c.text(hold);
    c.real(speed);
    c.real(area);
    c.real(temperatureC);
    c.real(flowM3h);
    return c.value();
}

template struct BasicStoredRow<std::string>;
template struct BasicStoredRow<std::string_view>;

StoredRow storedRow(const RowRecord &row)
{
    const RowFields f = rowFields(row);
    StoredRow s;
    s.seq = row.seq;
    s.unixMs = f.unixMs;
    s.time = f.time.toStdString();
    s.frame = row.frame.bytes;
    s.mode = f.mode.toStdString();
    if (!f.value.isEmpty())
        s.value = f.value.toDouble();
    s.unit = orNull(f.unit);
    s.rh = f.rh.toDouble();
    s.temperature = f.temperature.toDouble();
    s.temperatureUnit = f.temperatureUnit.toStdString();
    s.marker = orNull(f.marker);
    s.hold = f.hold.toStdString();
    s.speed = f.speed.toDouble();
    s.area = f.area.toDouble();
    s.temperatureC = f.temperatureC.toDouble();
    if (!f.flowM3h.isEmpty())
        s.flowM3h = f.flowM3h.toDouble();
    return s;
}

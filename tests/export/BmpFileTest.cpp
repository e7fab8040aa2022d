// SPDX-License-Identifier: GPL-3.0-or-later
#include "BmpFile.h"
#include "ExportTestSupport.h"

#include <QImage>
#include <QtEndian>

using namespace export_test;

namespace {

std::uint32_t u32(const QByteArray &b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }
std::uint16_t u16(const QByteArray &b, int at) { return qFromLittleEndian<quint16>(b.constData() + at); }
std::int32_t s32(const QByteArray &b, int at) { return qFromLittleEndian<qint32>(b.constData() + at); }

QRgb colourAt(int x, int y) { return qRgb(x % 256, y % 256, 16 * (y / 256) + x / 256); }

TEST(BmpFile, GraphOfA465By310Area)
{
    QImage image(465, 310, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, colourAt(x, y));
    const QByteArray bmp = bmpFile(image.constBits(), image.width(), image.height(), image.bytesPerLine());

    ASSERT_EQ(bmp.size(), 576654);
    EXPECT_EQ(bmp.left(2), "BM");
    EXPECT_EQ(u32(bmp, 2), 576654u);
    EXPECT_EQ(u16(bmp, 6), 0);
    EXPECT_EQ(u16(bmp, 8), 0);
    EXPECT_EQ(u32(bmp, 10), 54u);
    EXPECT_EQ(u32(bmp, 14), 40u);
    EXPECT_EQ(s32(bmp, 18), 465);
    EXPECT_EQ(s32(bmp, 22), 310);
    EXPECT_EQ(u16(bmp, 26), 1);
    EXPECT_EQ(u16(bmp, 28), 32);
    EXPECT_EQ(u32(bmp, 30), 0u);
    EXPECT_EQ(u32(bmp, 34), 576600u);
    for (int at : {38, 42, 46, 50})
        EXPECT_EQ(u32(bmp, at), 0u) << at;

    // Bottom row first; each pixel blue, green, red, then an unused 0.
    int wrong = 0;
    for (int row = 0; row < 310; ++row) {
        const int y = 309 - row;
        for (int x = 0; x < 465; ++x) {
            const char *p = bmp.constData() + 54 + row * 465 * 4 + x * 4;
            const QRgb c = colourAt(x, y);
            if (quint8(p[0]) != qBlue(c) || quint8(p[1]) != qGreen(c) || quint8(p[2]) != qRed(c) || p[3] != 0)
                ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST(BmpFile, SourceRowsMayBeWiderThanThePixels)
{
    // Three pixels a row, twenty bytes apart.
    std::uint32_t source[2][5] = {{0x00010203, 0x00040506, 0x00070809, 0xDEADBEEF, 0xDEADBEEF},
                                  {0x000A0B0C, 0x000D0E0F, 0x00101112, 0xDEADBEEF, 0xDEADBEEF}};
    const QByteArray bmp = bmpFile(reinterpret_cast<const std::uint8_t *>(source), 3, 2, 20);
    ASSERT_EQ(bmp.size(), 54 + 24);
    EXPECT_EQ(u32(bmp, 34), 24u);
    EXPECT_EQ(u32(bmp, 54), 0x000A0B0Cu);
    EXPECT_EQ(u32(bmp, 62), 0x00101112u);
    EXPECT_EQ(u32(bmp, 66), 0x00010203u);
    EXPECT_EQ(u32(bmp, 74), 0x00070809u);
}

TEST(BmpFile, NoImageOfNegativeSize)
{
    EXPECT_TRUE(bmpFile(nullptr, -1, 10, 0).isEmpty());
    EXPECT_EQ(bmpFile(nullptr, 0, 0, 0).size(), 54);
}

TEST(BmpFile, WritesTheWholeFileOrSaysWhyNot)
{
    QTemporaryDir dir;
    const QByteArray bytes(100000, '\x5A');
    const QString path = dir.filePath("graph.bmp");
    ASSERT_TRUE(writeFile(path, QByteArray(200000, 'x')));
    EXPECT_TRUE(writeWholeFile(path, bytes).ok);
    EXPECT_EQ(readAll(path), bytes);

    ExportResult r = writeWholeFile("/dev/full", bytes);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "No space left on device");

    r = writeWholeFile(path + "/inside.bmp", bytes);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "Not a directory");
}

} // namespace

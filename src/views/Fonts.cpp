// SPDX-License-Identifier: GPL-3.0-or-later
#include "Fonts.h"

#include <QFontMetricsF>
#include <QRawFont>
#include <QStringList>
#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace {

// The faces the layout was drawn with are Windows faces; on Linux their
// metric twin (Arial) and a CJK face with the degree signs (SimSun) stand in.
// SimSun gives every Latin character the same half-em cell, so the
// monospaced member of the CJK family comes first.
void installSubstitutes()
{
    static const bool installed = [] {
        QFont::insertSubstitutions(QStringLiteral("SimSun"),
                                   QStringList{QStringLiteral("WenQuanYi Zen Hei Mono"), QStringLiteral("WenQuanYi Zen Hei"),
                                               QStringLiteral("Noto Sans Mono CJK SC"), QStringLiteral("Noto Sans CJK SC")});
        QFont::insertSubstitutions(QStringLiteral("Arial"), QStringList
                                   {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
        return true;
    }();
    (void)installed;
}

// Occurrences per thousand characters of English text: the space, then a to z.
constexpr int kSpaceWeight = 166;
constexpr int kLetterWeights[26] = {64, 14, 27, 35, 100, 20, 14, 42, 63, 3, 6, 35, 20,
                                    56, 56, 17, 4,  49, 56, 71, 31, 10, 18, 3,  18, 2};

// Offsets of the fields read from a face's OS/2 table.
constexpr int kOs2WinAscent = 74;
constexpr int kOs2WinDescent = 76;

// SimSun's ascent and cell, in its design units: the baseline sits 220/256
// of the cell below the top.
constexpr double kSimSunAscent = 220;
constexpr double kSimSunCell = 256;

bool isSimSun(const QFont &font) { return font.family() == QLatin1String("SimSun"); }

} // namespace

FaceMeasures measureFace(const QRawFont &face)
{
    FaceMeasures m;
    if (!face.isValid())
        return m;
    // At one pixel per font unit the advances are the design's, unrounded.
    const double upem = face.unitsPerEm();
    if (upem <= 0)
        return m;
    QRawFont design(face);
    design.setPixelSize(upem);
    const QByteArray os2 = face.fontTable("OS/2");
    if (os2.size() >= kOs2WinDescent + 2) {
        const double cell = qFromBigEndian<quint16>(os2.constData() + kOs2WinAscent) +
                            qFromBigEndian<quint16>(os2.constData() + kOs2WinDescent);
        if (cell > 0)
            m.cellPerEm = cell / upem;
    } else if (design.ascent() + design.descent() > 0) {
        m.cellPerEm = (design.ascent() + design.descent()) / upem;
    }

    auto advance = [&](char c) {
        const QList<quint32> glyphs = design.glyphIndexesForString(QString(QLatin1Char(c)));
        const QList<QPointF> advances = design.advancesForGlyphIndexes(glyphs);
        return advances.isEmpty() ? 0.0 : advances.first().x() / upem;
    };
    double sum = kSpaceWeight * advance(' ');
    int weights = kSpaceWeight;
    for (int i = 0; i < 26; ++i) {
        sum += kLetterWeights[i] * advance(char('a' + i));
        weights += kLetterWeights[i];
    }
    if (sum > 0)
        m.averagePerEm = sum / weights;
    double digits = 0;
    for (char c = '0'; c <= '9'; ++c)
        digits += advance(c);
    if (digits > 0)
        m.digitPerEm = digits / 10;
    return m;
}

FontScale fontScale(int height, int width, double cellPerEm, double averagePerEm)
{
    FontScale s{std::max(1, int(std::lround(height / cellPerEm))), 100};
    if (width > 0 && averagePerEm > 0)
        s.stretch = std::clamp(int(std::lround(100.0 * width / (s.pixelSize * averagePerEm))), 1, 4000);
    return s;
}

QFont makeFont(const QString &family, int height, int width)
{
    installSubstitutes();
    QFont font(family);
    font.setPixelSize(height);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setStyleHint(QFont::AnyStyle, QFont::PreferDefault);

    FaceMeasures m = measureFace(QRawFont::fromFont(font));
    // SimSun's cell is exactly its em, and every Latin character half an
    // em, so the width asked for is every character's. The stand-in keeps
    // SimSun's em and is stretched until its digits are that wide: on the
    // monospaced stand-in so is every Latin character; on a proportional
    // one at least the digits, nearly all this program writes in that face.
    // Arial's stand-in is its metric twin, so its own tables are Arial's.
    const bool simSun = family == QLatin1String("SimSun");
    if (simSun) {
        m.cellPerEm = 1.0;
        m.averagePerEm = m.digitPerEm;
    }
    const FontScale s = fontScale(height, width, m.cellPerEm, m.averagePerEm);
    font.setPixelSize(s.pixelSize);
    font.setStretch(s.stretch);
    // The stretch is a whole percentage; the spacing takes up what it
    // misses (8 px cells from a 6.5 px half-em are 123.08 %), so a column of
    // digits lines up with the layout's to the pixel.
    if (simSun && width > 0) {
        const double missing = width - QFontMetricsF(font).horizontalAdvance(QLatin1Char('0'));
        if (std::abs(missing) > 0.001)
            font.setLetterSpacing(QFont::AbsoluteSpacing, missing);
    }
    return font;
}

int layoutAscent(const QFont &font)
{
    const QFontMetricsF metrics(font);
    if (!isSimSun(font))
        return qRound(metrics.ascent());
    // SimSun's em is its cell, so the pixel size is the cell height. Where
    // the stand-in's descenders reach lower than SimSun's, its baseline goes
    // up by as much, so they stay within the cell: nothing drawn just below
    // the cell (a box under a caption) covers them.
    const int cell = font.pixelSize();
    double descender = 0;
    for (QChar c : QStringLiteral("gjpqy"))
        descender = std::max(descender, metrics.boundingRect(c).bottom());
    return std::min(int(std::lround(cell * kSimSunAscent / kSimSunCell)), cell - int(std::ceil(descender)));
}

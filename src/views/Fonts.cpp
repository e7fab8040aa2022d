#include "Fonts.h"

#include <QFontMetrics>
#include <algorithm>

QFont makeFont(const QString &family, int height, int width)
{
    QFont font(family);
    font.setPixelSize(height);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setStyleHint(QFont::AnyStyle, QFont::PreferDefault);
    if (width > 0) {
        const int natural = QFontMetrics(font).averageCharWidth();
        if (natural > 0)
            font.setStretch(std::clamp(width * 100 / natural, 1, 4000));
    }
    return font;
}

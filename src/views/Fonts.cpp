#include "Fonts.h"

#include <QFontMetrics>
#include <QStringList>
#include <algorithm>

namespace {

// The faces the layout was drawn with are Windows faces; on Linux their
// metric twin (Arial) and a CJK face with the degree signs (SimSun) stand in.
void installSubstitutes()
{
    static const bool installed = [] {
        QFont::insertSubstitutions(QStringLiteral("SimSun"), QStringList
                                   {QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC")});
        QFont::insertSubstitutions(QStringLiteral("Arial"), QStringList
                                   {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
        return true;
    }();
    (void)installed;
}

} // namespace

QFont makeFont(const QString &family, int height, int width)
{
    installSubstitutes();
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

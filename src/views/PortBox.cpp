// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortBox.h"

#include <QAbstractItemView>
#include <QScreen>
#include <QScrollBar>
#include <QStyleOptionComboBox>
#include <QStylePainter>

#include <algorithm>

namespace {

// Characters of the end that make the first folder worth its room.
constexpr qsizetype kFairEnd = 8;

} // namespace

QString elidePortName(const QString &name, const QFontMetrics &metrics, int width)
{
    if (metrics.horizontalAdvance(name) <= width)
        return name;
    const QString ellipsis(QChar(0x2026));
    // `head`, the ellipsis and as much of the end as fits; and how much that is.
    auto withEnd = [&](const QString &head) {
        const int room = width - metrics.horizontalAdvance(head + ellipsis);
        qsizetype kept = 0;
        while (kept < name.size() - head.size() && metrics.horizontalAdvance(name.right(kept + 1)) <= room)
            ++kept;
        return std::pair{head + ellipsis + name.right(kept), kept};
    };
    const qsizetype slash = name.startsWith(QLatin1Char('/')) ? name.indexOf(QLatin1Char('/'), 1) : -1;
    if (slash > 0) {
        const auto [text, kept] = withEnd(name.left(slash + 1));
        if (kept >= kFairEnd)
            return text;
    }
    return withEnd(QString()).first;
}

PortBox::PortBox(QWidget *parent) : QComboBox(parent)
{
    view()->setTextElideMode(Qt::ElideMiddle);
    // The closed box tells its whole path too.
    connect(this, &QComboBox::currentIndexChanged, this,
            [this](int index) { setToolTip(itemData(index, Qt::ToolTipRole).toString()); });
}

void PortBox::addPort(const QString &name, const QString &path)
{
    const int index = count();
    insertItem(index, name, path);
    setItemData(index, path, Qt::ToolTipRole);
    if (index == currentIndex())
        setToolTip(path);
}

void PortBox::showPopup()
{
    // The combo box widens its list to the list's minimum and keeps it on
    // the screen; wider than the screen it cannot be.
    QAbstractItemView *list = view();
    int width = list->sizeHintForColumn(0) + 2 * list->frameWidth();
    if (count() > maxVisibleItems())
        width += list->verticalScrollBar()->sizeHint().width();
    if (const QScreen *where = screen())
        width = std::min(width, where->availableGeometry().width());
    list->setMinimumWidth(width);
    QComboBox::showPopup();
}

void PortBox::paintEvent(QPaintEvent *)
{
    // As QComboBox paints, with the text shortened to its field.
    QStylePainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    // The label keeps a pixel from each side of the field.
    option.currentText = elidePortName(option.currentText, fontMetrics(), field.width() - 2);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

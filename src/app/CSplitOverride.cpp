// SPDX-License-Identifier: GPL-3.0-or-later
#include "CSplitOverride.h"

#include <QMouseEvent>

namespace {

class FixedHandle final : public QSplitterHandle {
public:
    FixedHandle(Qt::Orientation o, QSplitter *parent) : QSplitterHandle(o, parent)
    {
        setCursor(Qt::ArrowCursor);
        setAttribute(Qt::WA_Hover, false);
    }

protected:
    void mousePressEvent(QMouseEvent *e) override { e->accept(); }
    void mouseMoveEvent(QMouseEvent *e) override { e->accept(); }
    void mouseReleaseEvent(QMouseEvent *e) override { e->accept(); }
    void mouseDoubleClickEvent(QMouseEvent *e) override { e->accept(); }
};

} // namespace

CSplitOverride::CSplitOverride(QWidget *parent) : QSplitter(Qt::Horizontal, parent)
{
    setChildrenCollapsible(false);
    setOpaqueResize(false);
}

QSplitterHandle *CSplitOverride::createHandle() { return new FixedHandle(orientation(), this); }

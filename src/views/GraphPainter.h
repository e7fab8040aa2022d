// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Draws the graph of one page of the recording, straight from the store, into
// the view's off-screen buffer. Only paints what GraphMath computes.

#include "GraphMath.h"
#include "Reading.h"

#include <QFont>
#include <QPen>
#include <cstdint>
#include <memory>

class QImage;
class SampleStore;
struct GraphTextCache;

// The fonts and pens the graph view owns and lends to the drawing.
struct GraphStyle {
    QFont titleFont;
    QFont axisFont;
    QFont defaultFont; // the page text uses the context's default font
    QPen humidityPen;
    QPen temperaturePen;
    QPen airPen;
    QPen framePen;
    QPen gridPen;
    // Laid-out texts kept from one paint to the next (they change only with
    // the scale, the units or the page). Copies of a style share it; use it
    // on one thread. Without it every paint lays its texts out afresh.
    std::shared_ptr<GraphTextCache> textCache;
};

// The graph view's fonts and pens: titles "SimSun" 20 px, axis labels
// "Arial" 14 px, solid cyan, green, red and white pens and the dotted white
// grid pen, all 1 px; with a text cache.
GraphStyle makeGraphStyle();

// Composes the graph into (0, 0)..(W, H - H/3) of `backBuffer` (W × H,
// Format_RGB32); the caller copies that block to the view at (0, H/3).
void drawGraph(QImage &backBuffer, const SampleStore &store, const PageState &pages, const Reading &latest,
               const GraphStyle &style);

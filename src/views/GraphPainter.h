#pragma once
// Draws the graph of one page of the recording, straight from the store, into
// the view's off-screen buffer. Only paints what GraphMath computes.

#include "Reading.h"

#include <QFont>
#include <QPen>
#include <cstdint>

class QImage;
class SampleStore;

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
};

struct PageState {
    std::uint32_t pageCount = 0;
    std::uint32_t currentPage = 0;
};

// Composes the graph into (0, 0)..(W, H - H/3) of `backBuffer` (W × H,
// Format_RGB32); the caller copies that block to the view at (0, H/3).
void drawGraph(QImage &backBuffer, const SampleStore &store, const PageState &pages, const LatestReading &latest,
               const GraphStyle &style);

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The layout's fonts, sized as the faces it was drawn with size them: a
// cell height (ascent plus descent, not the em) and an average character
// width, met by whichever installed face stands in.

#include <QFont>
#include <QString>

class QRawFont;

// A face's measures, in ems.
struct FaceMeasures {
    double cellPerEm = 1.0;    // win ascent plus win descent
    double averagePerEm = 0.5; // average width of lowercase Latin text
    double digitPerEm = 0.5;   // average width of the digits 0 to 9
};

// Read from the face's own tables: the cell from its OS/2 table (its
// ascent and descent where it has none), the average from its advances,
// weighted by how often each lowercase letter and the space occur in text,
// the rule by which Arial's average-width field (904 of 2048) was computed.
FaceMeasures measureFace(const QRawFont &face);

struct FontScale {
    int pixelSize; // the em in whole pixels, as a TrueType face is realised
    int stretch;   // horizontal stretch in percent, 100: none
};

// The em and stretch that give a cell `height` pixels high and an average
// character `width` pixels wide (0: natural width) on a face whose cell is
// `cellPerEm` and whose average is `averagePerEm`.
FontScale fontScale(int height, int width, double cellPerEm, double averagePerEm);

// A font of the given face with a cell `height` pixels high and an average
// character `width` pixels wide (0: natural width).
QFont makeFont(const QString &family, int height, int width);

// How far below the top of a text's cell its baseline sits: where the face
// the layout was drawn with puts it (for SimSun 220/256 of the cell, a
// little higher where its stand-in's descenders would leave the cell), so
// text placed by its top lands where the layout has it.
int layoutAscent(const QFont &font);

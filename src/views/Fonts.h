#pragma once
#include <QFont>
#include <QString>

// A font of the given face, `height` pixels high, stretched so that its
// average character is about `width` pixels wide (0: natural width).
QFont makeFont(const QString &family, int height, int width);

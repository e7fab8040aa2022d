// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Identifiers of the graph view's controls and of the reading list; every
// child control carries its identifier as its object name ("1001", ...).

#include <QString>

namespace control_id {
inline constexpr int startStop = 1001;
inline constexpr int firstPage = 1002;
inline constexpr int previousPage = 1003;
inline constexpr int lastPage = 1004;
inline constexpr int nextPage = 1005;
inline constexpr int valueBox = 1006;
inline constexpr int temperatureBox = 1009;
inline constexpr int humidityBox = 1010;
inline constexpr int periodBox = 1011;
inline constexpr int holdBox = 1012;
inline constexpr int noop1 = 1013;
inline constexpr int noop2 = 1014;
inline constexpr int portBox = 1015;
inline constexpr int reset = 1016;
inline constexpr int readingList = 1000;
} // namespace control_id

inline QString controlName(int id) { return QString::number(id); }

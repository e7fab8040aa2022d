// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "Reading.h"

struct SampleFrame;

// The fields of a stored frame, as the graph view keeps them.
LatestReading decodeFrame(const SampleFrame &frame);

// The row record for the list: a copy of the fields of the same name.
ReadingRow toRow(const LatestReading &r);

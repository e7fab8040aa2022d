// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The lock keys' state, where the platform tells it (X11, through its
// keyboard extension); elsewhere (offscreen, Wayland) nothing is known.

#include <optional>

struct LockKeys {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

std::optional<LockKeys> readLockKeys();

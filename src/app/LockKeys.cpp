// SPDX-License-Identifier: GPL-3.0-or-later
#include "LockKeys.h"

#include <QGuiApplication>

#ifdef BREEZON_HAVE_X11
#include <X11/XKBlib.h>
#endif

std::optional<LockKeys> readLockKeys()
{
#ifdef BREEZON_HAVE_X11
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display *display = x11 ? x11->display() : nullptr;
    if (!display)
        return std::nullopt;
    // By the indicators' names: their bit positions differ between keymaps.
    auto lit = [display](const char *name) {
        int index = 0;
        Bool on = False;
        Bool real = False;
        XkbIndicatorMapRec map{};
        const Atom atom = XInternAtom(display, name, True);
        return atom != None && XkbGetNamedIndicator(display, atom, &index, &on, &map, &real) && on;
    };
    return LockKeys{lit("Caps Lock"), lit("Num Lock"), lit("Scroll Lock")};
#else
    return std::nullopt;
#endif
}

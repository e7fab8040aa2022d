// SPDX-License-Identifier: GPL-3.0-or-later
#include "Output.h"

void Output::failed(const QString &why)
{
    if (failing_)
        return;
    failing_ = true;
    if (note_)
        note_(QStringLiteral("the %1 was not written: %2").arg(name(), why), true);
}

void Output::recovered(const QString &text)
{
    if (!failing_)
        return;
    failing_ = false;
    if (note_)
        note_(text, false);
}

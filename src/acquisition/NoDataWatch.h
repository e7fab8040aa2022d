// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Says when a running acquisition has had no frame for a while: a port that
// opens but never sends (the wrong adapter, an instrument switched off)
// looks like a recording and records nothing. The first warning comes after
// `first`, later ones at doubling intervals (up to an hour) while it lasts;
// a row starts the count again. The caller's timer waits untilNext().

#include <QString>

#include <algorithm>
#include <chrono>

class NoDataWatch {
public:
    static constexpr std::chrono::milliseconds kFirst{30000};
    static constexpr std::chrono::milliseconds kLongest{3600000};

    explicit NoDataWatch(std::chrono::milliseconds first = kFirst) : first_(first), wait_(first) {}

    // A row came, or the run (re)started: the silence counts from now.
    void restart()
    {
        silent_ = std::chrono::milliseconds(0);
        wait_ = first_;
    }
    // How long the caller waits for the next warning, from the last one
    // (or from restart()).
    std::chrono::milliseconds untilNext() const { return wait_; }
    // That wait is over: the warning for it. The next one comes when the
    // silence has doubled, or an hour later.
    QString warn(const QString &port)
    {
        silent_ += wait_;
        wait_ = std::min(silent_, std::max(kLongest, first_));
        return QStringLiteral("no data from %1 for %2: is the instrument on and sending?").arg(port, spell(silent_));
    }

    static QString spell(std::chrono::milliseconds d)
    {
        const long long s = std::chrono::duration_cast<std::chrono::seconds>(d).count();
        if (s < 120)
            return QStringLiteral("%1 s").arg(s);
        if (s < 7200)
            return QStringLiteral("%1 min").arg(s / 60);
        return QStringLiteral("%1 h").arg(s / 3600);
    }

private:
    std::chrono::milliseconds first_;
    std::chrono::milliseconds wait_;
    std::chrono::milliseconds silent_{0};
};

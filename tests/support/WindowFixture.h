// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The whole window over the simulated instrument, reached through a link
// that can be removed and re-pointed like a USB adapter's stable name. The
// instrument sends six frames a second from the start; the window answers
// its dialogs from `dialogs`.

#include "CMainFrame.h"
#include "CbreezonApp.h"
#include "Clist.h"
#include "ControlIds.h"
#include "Cwave.h"
#include "DeviceLink.h"
#include "EventLoop.h"
#include "Frames.h"
#include "ProcSelf.h"
#include "QStringPrinter.h"
#include "SampleStore.h"
#include "ScriptedDialogs.h"
#include "Simulator.h"

#include <QComboBox>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

struct WindowFixture : ::testing::Test {
    ScriptedDialogs dialogs;
    Simulator sim;
    DeviceLink link;
    std::unique_ptr<CbreezonApp> app;

    void SetUp() override
    {
        ASSERT_FALSE(link.dir.empty());
        Simulator::Settings s;
        s.framesPerSecond = 6;
        sim.setSettings(s);
        ASSERT_TRUE(plugIn());
        newWindow();
    }
    // A new window in place of the old one, with the link as its one port.
    void newWindow()
    {
        app.reset();
        app = std::make_unique<CbreezonApp>(QList<PortEntry>{{link.qpath(), link.qpath()}}, 1920);
        app->show();
    }

    void TearDown() override
    {
        if (app && wave().isRunning())
            wave().startStop();
        app.reset();
    }

    // A device appears under the link: a new pty, its writer running.
    bool plugIn()
    {
        std::string why;
        sim.clearRecord();
        if (!sim.open(&why)) {
            ADD_FAILURE() << why;
            return false;
        }
        return link.pointAt(sim.slavePath()) && sim.start();
    }
    // The device goes, and so does its name.
    void pullOut()
    {
        sim.vanish();
        link.remove();
    }

    Cwave &wave() { return app->frame().wave(); }
    Clist &list() { return app->frame().list(); }
    const SampleStore &store() { return app->frame().store(); }
    QPushButton *button(int id) { return wave().findChild<QPushButton *>(controlName(id)); }
    QComboBox *portBox() { return wave().findChild<QComboBox *>(controlName(control_id::portBox)); }
    QString caption() { return button(control_id::startStop)->text(); }
    QString status() { return app->frame().statusText(); }
    void pressStartStop() { button(control_id::startStop)->click(); }

    QString goneText() const
    {
        return QStringLiteral("port %1 is gone; waiting for it to come back").arg(link.qpath());
    }
    QString backText() const { return QStringLiteral("port %1 is back").arg(link.qpath()); }

    // Idle as after STOP: nothing runs and the idle controls are usable.
    ::testing::AssertionResult idle()
    {
        if (wave().isRunning())
            return ::testing::AssertionFailure() << "acquisition still runs";
        if (caption() != QStringLiteral("START"))
            return ::testing::AssertionFailure() << "caption " << caption().toStdString();
        if (!portBox()->isEnabled())
            return ::testing::AssertionFailure() << "port box disabled";
        for (int id : {control_id::firstPage, control_id::previousPage, control_id::nextPage, control_id::lastPage,
                       control_id::startStop, control_id::reset})
            if (!button(id)->isEnabled())
                return ::testing::AssertionFailure() << "button " << id << " disabled";
        return ::testing::AssertionSuccess();
    }

    // Every cell of every row, one string per row.
    QStringList rows()
    {
        QStringList out;
        for (int r = 0; r < list().itemCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < 8; ++c)
                cells << list().cellText(r, c);
            out << cells.join(QLatin1Char('|'));
        }
        return out;
    }

    std::vector<SampleFrame> storedFrames() { return ::storedFrames(store()); }

    bool waitForRows(int n, int ms = 15000)
    {
        return runUntil([&] { return list().itemCount() >= n; }, ms);
    }
};

// True when `before` is where `after` begins.
template <class List> bool keptAsPrefix(const List &before, const List &after)
{
    if (after.size() < before.size())
        return false;
    return std::equal(before.begin(), before.end(), after.begin(),
                      [](const auto &a, const auto &b) { return a == b; });
}

inline bool operator==(const SampleFrame &a, const SampleFrame &b) { return a.bytes == b.bytes; }

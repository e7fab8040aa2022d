// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Answers the program's dialogs from a script and records every message, so
// widget tests can drive commands that ask for a path or report an error.

#include "Dialogs.h"

#include <QStringList>
#include <deque>
#include <vector>

struct RecordedMessage {
    QString caption;
    QString text;
    MessageIcon icon;
};

struct RecordedSaveDialog {
    QString filter;
    bool overwritePrompt;
};

struct RecordedQuestion {
    QString text;
    QStringList answers;
};

struct RecordedOpenDialog {
    QString filter;
    QString folder; // where it starts
};

class ScriptedDialogs final : public Dialogs {
public:
    ScriptedDialogs() { installDialogs(this); }
    ~ScriptedDialogs() override { installDialogs(nullptr); }

    // Paths handed out by the next save dialogs, in order; an empty string
    // answers like a cancelled dialog, and so does an exhausted script.
    std::deque<QString> paths;
    std::vector<RecordedMessage> messages;
    std::vector<RecordedSaveDialog> saveDialogs;
    std::vector<RecordedOpenDialog> openDialogs; // answered from `paths` too
    // Answers to the next questions, in order; an exhausted script closes
    // the box without one (-1).
    std::deque<int> answers;
    std::vector<RecordedQuestion> questions;

    void message(QWidget *, const QString &caption, const QString &text, MessageIcon icon) override
    {
        messages.push_back({caption, text, icon});
    }

    QString savePath(QWidget *, const QString &filter, bool overwritePrompt) override
    {
        saveDialogs.push_back({filter, overwritePrompt});
        if (paths.empty())
            return {};
        QString p = paths.front();
        paths.pop_front();
        return p;
    }

    int ask(QWidget *, const QString &, const QString &text, const QStringList &choices) override
    {
        questions.push_back({text, choices});
        if (answers.empty())
            return -1;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }

    QString openPath(QWidget *, const QString &filter, const QString &folder) override
    {
        openDialogs.push_back({filter, folder});
        if (paths.empty())
            return {};
        QString p = paths.front();
        paths.pop_front();
        return p;
    }

    QStringList texts() const
    {
        QStringList t;
        for (const auto &m : messages)
            t << m.text;
        return t;
    }
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every message box and every save dialog of the program goes through this
// seam, so tests can answer dialogs and read back what the user was told.

#include <QString>
#include <QStringList>

class QWidget;

enum class MessageIcon { None, Error };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A modal message with an OK button.
    virtual void message(QWidget *owner, const QString &caption, const QString &text, MessageIcon icon) = 0;
    // A modal save dialog; returns the chosen full path, or an empty string
    // when the user cancelled. `filter` is in Qt's "Label (*.ext)" form.
    // Where it confirms overwriting, a name typed without an extension gets
    // the filter's.
    virtual QString savePath(QWidget *owner, const QString &filter, bool overwritePrompt) = 0;
    // A modal open dialog for an existing file, starting in `folder`; the
    // chosen path, or empty when cancelled (which is all a seam without one
    // can answer).
    virtual QString openPath(QWidget * /*owner*/, const QString & /*filter*/, const QString & /*folder*/)
    {
        return {};
    }
    // A modal question with one button per answer, the first the default;
    // the index of the answer, or -1 when the box was closed without one
    // (all a seam without one can answer).
    virtual int ask(QWidget * /*owner*/, const QString & /*caption*/, const QString & /*text*/,
                    const QStringList & /*answers*/)
    {
        return -1;
    }
};

// The implementation in force; the Qt one unless a test installed another.
Dialogs &dialogs();
// Installs `d` (not owned); nullptr restores the Qt implementation.
void installDialogs(Dialogs *d);

// The standard "error" box of the acquisition and graph view.
inline void showError(QWidget *owner, const QString &text)
{
    dialogs().message(owner, QStringLiteral("error"), text, MessageIcon::None);
}

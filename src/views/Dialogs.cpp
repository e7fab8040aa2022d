// SPDX-License-Identifier: GPL-3.0-or-later
#include "Dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>

namespace {

class QtDialogs final : public Dialogs {
public:
    void message(QWidget *owner, const QString &caption, const QString &text, MessageIcon icon) override
    {
        QMessageBox box(icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::NoIcon, caption, text,
                        QMessageBox::Ok, owner);
        box.exec();
    }

    QString savePath(QWidget *owner, const QString &filter, bool overwritePrompt) override
    {
        QFileDialog dialog(owner, QString(), QString(), filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        if (!overwritePrompt) {
            dialog.setOption(QFileDialog::DontConfirmOverwrite);
        } else {
            // The name it confirms must be the name written: a name typed
            // without an extension gets the filter's own here, not later.
            const QRegularExpressionMatch m =
                QRegularExpression(QStringLiteral("\\(\\*\\.(\\w+)\\)$")).match(filter);
            if (m.hasMatch())
                dialog.setDefaultSuffix(m.captured(1));
        }
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().first();
    }

    int ask(QWidget *owner, const QString &caption, const QString &text, const QStringList &answers) override
    {
        QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::NoButton, owner);
        QList<QAbstractButton *> buttons;
        for (const QString &answer : answers)
            buttons << box.addButton(answer, QMessageBox::AcceptRole);
        if (!buttons.isEmpty())
            box.setDefaultButton(qobject_cast<QPushButton *>(buttons.first()));
        box.exec();
        return int(buttons.indexOf(box.clickedButton()));
    }

    QString openPath(QWidget *owner, const QString &filter, const QString &folder) override
    {
        return QFileDialog::getOpenFileName(owner, QString(), folder, filter);
    }
};

QtDialogs qtDialogs;
Dialogs *current = nullptr;

} // namespace

Dialogs &dialogs() { return current ? *current : qtDialogs; }

void installDialogs(Dialogs *d) { current = d; }

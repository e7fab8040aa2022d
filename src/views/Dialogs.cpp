#include "Dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

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
        QFileDialog::Options options;
        if (!overwritePrompt)
            options |= QFileDialog::DontConfirmOverwrite;
        return QFileDialog::getSaveFileName(owner, QString(), QString(), filter, nullptr, options);
    }

    QString openPath(QWidget *owner, const QString &filter) override
    {
        return QFileDialog::getOpenFileName(owner, QString(), QString(), filter);
    }
};

QtDialogs qtDialogs;
Dialogs *current = nullptr;

} // namespace

Dialogs &dialogs() { return current ? *current : qtDialogs; }

void installDialogs(Dialogs *d) { current = d; }

// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecentFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

constexpr int kShownLength = 30;

QSettings profile()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                     QStringLiteral("Local AppWizard-Generated Applications"), QStringLiteral("breezon"));
}

QString keyOf(int index) { return QStringLiteral("Recent File List/File%1").arg(index + 1); }

QString shortened(const QString &path)
{
    if (path.size() <= kShownLength)
        return path;
    const QString name = QFileInfo(path).fileName();
    const QString root = QStringLiteral("/\u2026/");
    if (root.size() + name.size() > kShownLength)
        return name;
    // The folders nearest the root go first.
    QString rest = path.mid(1);
    while (root.size() + rest.size() > kShownLength && rest.contains(QLatin1Char('/')))
        rest = rest.mid(rest.indexOf(QLatin1Char('/')) + 1);
    return root + rest;
}

} // namespace

RecentFiles::RecentFiles()
{
    const QSettings settings = profile();
    for (int i = 0; i < kMax; ++i) {
        const QString path = settings.value(keyOf(i)).toString();
        if (path.isEmpty())
            break;
        paths_ << path;
    }
}

void RecentFiles::add(const QString &path)
{
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    paths_.removeAll(absolute);
    paths_.prepend(absolute);
    paths_ = paths_.mid(0, kMax);
    changed_ = true;
}

void RecentFiles::remove(const QString &path)
{
    changed_ = paths_.removeAll(QDir::cleanPath(QFileInfo(path).absoluteFilePath())) > 0 || changed_;
}

void RecentFiles::save() const
{
    if (!changed_)
        return;
    QSettings settings = profile();
    for (int i = 0; i < kMax; ++i) {
        if (i < paths_.size())
            settings.setValue(keyOf(i), paths_[i]);
        else
            settings.remove(keyOf(i));
    }
}

QString RecentFiles::menuText(int index, const QString &path)
{
    QString shown = shortened(path);
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(index + 1).arg(shown);
}

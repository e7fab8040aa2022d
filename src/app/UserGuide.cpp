// SPDX-License-Identifier: GPL-3.0-or-later
#include "UserGuide.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kGuideName = QStringLiteral("guide.html");

} // namespace

QString installedUserGuide(const QString &programFolder)
{
    return QDir::cleanPath(programFolder + QStringLiteral("/" BREEZON_DOC_FROM_BIN "/") + kGuideName);
}

QString findUserGuide(const QString &programFolder)
{
    for (const QString &path : {installedUserGuide(programFolder), QDir(programFolder).filePath(kGuideName)})
        if (QFileInfo(path).isFile())
            return path;
    return {};
}

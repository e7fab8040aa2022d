// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordingFolder.h"

#include <QDir>

namespace recording_file {

QString defaultFolder()
{
    // systemd gives a service its StateDirectory= here (several are
    // separated by colons; the first is ours).
    const QString state = qEnvironmentVariable("STATE_DIRECTORY").section(QLatin1Char(':'), 0, 0);
    if (!state.isEmpty() && !QDir::isRelativePath(state))
        return state;
    return userFolder();
}

QString userFolder()
{
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    // The base directory rules: a relative path is to be ignored.
    if (data.isEmpty() || QDir::isRelativePath(data))
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return data + QStringLiteral("/breezon/recordings");
}

QString fileNameOf(const QString &name)
{
    QString out = name;
    for (QChar &c : out)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char('_');
    if (out.startsWith(QLatin1Char('.')) || out.isEmpty())
        out.prepend(QLatin1Char('_'));
    return out;
}

} // namespace recording_file

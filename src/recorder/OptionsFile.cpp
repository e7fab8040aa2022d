// SPDX-License-Identifier: GPL-3.0-or-later
#include "OptionsFile.h"

#include <QFile>

#include <string>

namespace {

constexpr const char *kFlag = "--options-file";

std::optional<QStringList> fail(QString *why, const QString &text)
{
    *why = text;
    return std::nullopt;
}

} // namespace

std::optional<QStringList> optionsFromText(const QString &text, const QString &path, QString *why)
{
    QStringList words;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QString line = lines[n].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QString where = QStringLiteral("%1 line %2").arg(path).arg(n + 1);
        if (line.startsWith(QLatin1String("BREEZON_OPTIONS=")))
            return fail(why, QStringLiteral("%1: BREEZON_OPTIONS= is the old form; write one option a line, as "
                                            "'--port PATH'")
                                 .arg(where));
        if (!line.startsWith(QLatin1String("--")))
            return fail(why, QStringLiteral("%1: '%2' is not an option; each line starts with one, as '--port PATH'")
                                 .arg(where, line));
        qsizetype space = 0;
        while (space < line.size() && !line[space].isSpace())
            ++space;
        const QString flag = line.left(space);
        if (flag.section(QLatin1Char('='), 0, 0) == QLatin1String(kFlag))
            return fail(why, QStringLiteral("%1: an options file cannot name another").arg(where));
        if (flag.contains(QLatin1Char('='))) // "--csv=duct 7.csv": one word, spaces and all
            words << line;
        else if (space < line.size())
            words << flag << line.mid(space).trimmed();
        else
            words << flag;
    }
    return words;
}

std::optional<QStringList> withOptionsFiles(const QStringList &args, QString *why)
{
    QStringList out;
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString path;
        if (args[i] == QLatin1String(kFlag)) {
            if (i + 1 == args.size())
                return fail(why, QStringLiteral("%1 needs a file name").arg(QLatin1String(kFlag)));
            path = args[++i];
        } else if (args[i].startsWith(QLatin1String(kFlag) + QLatin1Char('='))) {
            path = args[i].mid(qsizetype(std::char_traits<char>::length(kFlag)) + 1);
        } else {
            if (args[i] == QLatin1String("--"))
                return out + args.mid(i);
            out << args[i];
            continue;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return fail(why, QStringLiteral("the options file %1 cannot be read: %2").arg(path, file.errorString()));
        const std::optional<QStringList> words = optionsFromText(QString::fromUtf8(file.readAll()), path, why);
        if (!words)
            return std::nullopt;
        out << *words;
    }
    return out;
}

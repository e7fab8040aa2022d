// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder's command line.
#include "OptionsFile.h"
#include "RecorderOptions.h"

#include <QTemporaryFile>

#include <gtest/gtest.h>

namespace {

RecorderArgs parse(std::initializer_list<const char *> args)
{
    QStringList list;
    for (const char *a : args)
        list << QString::fromUtf8(a);
    return parseRecorderArgs(list);
}

TEST(RecorderOptions, PeriodTakesThePeriodBoxValuesOnly)
{
    EXPECT_EQ(parsePeriod(QStringLiteral("0.5")), 500);
    EXPECT_EQ(parsePeriod(QStringLiteral("0.5s")), 500);
    EXPECT_EQ(parsePeriod(QStringLiteral("1")), 1000);
    EXPECT_EQ(parsePeriod(QStringLiteral("7s")), 7000);
    EXPECT_EQ(parsePeriod(QStringLiteral("60")), 60000);
    for (const char *bad : {"0.7", "61", "0", "1.0", "-1", "", "x", "100", "05.", "1e1"})
        EXPECT_FALSE(parsePeriod(QString::fromLatin1(bad)).has_value()) << bad;
}

TEST(RecorderOptions, FullCommandLine)
{
    const RecorderArgs a = parse({"--port", "/dev/ttyUSB0", "--period", "5", "--rows", "1000", "--seconds", "60",
                                  "--txt", "a.txt", "--csv", "a.csv", "--xls", "a.xlsx"});
    ASSERT_TRUE(a.options) << a.error.toStdString();
    EXPECT_EQ(a.options->port, QStringLiteral("/dev/ttyUSB0"));
    EXPECT_FALSE(a.options->demo);
    EXPECT_EQ(a.options->periodMs, 5000);
    EXPECT_EQ(a.options->rows, 1000);
    EXPECT_EQ(a.options->seconds, 60);
    EXPECT_EQ(a.options->output(QStringLiteral("--txt")), QStringLiteral("a.txt"));
    EXPECT_EQ(a.options->output(QStringLiteral("--csv")), QStringLiteral("a.csv"));
    EXPECT_EQ(a.options->output(QStringLiteral("--xls")), QStringLiteral("a.xlsx"));

    // Outputs in the order given, a flag given twice making two.
    const RecorderArgs twice = parse({"--csv", "1.csv", "--demo", "--txt=2.txt", "--csv", "3.csv"});
    ASSERT_TRUE(twice.options) << twice.error.toStdString();
    QStringList order;
    for (const auto &choice : twice.options->outputs)
        order << choice.flag + QLatin1Char(' ') + choice.value;
    EXPECT_EQ(order.join(QLatin1Char(',')), QStringLiteral("--csv 1.csv,--txt 2.txt,--csv 3.csv"));

    // Ten years, and the most the list can number.
    EXPECT_EQ(parse({"--demo", "--seconds", "315360000"}).options->seconds, 315360000);
    EXPECT_EQ(parse({"--demo", "--rows", "2147483647"}).options->rows, 2147483647);

    const RecorderArgs d = parse({"--demo"});
    ASSERT_TRUE(d.options);
    EXPECT_TRUE(d.options->demo);
    EXPECT_EQ(d.options->periodMs, 1000);
    EXPECT_FALSE(d.options->rows);
}

TEST(RecorderOptions, UsageErrorsSayWhat)
{
    const struct {
        std::initializer_list<const char *> args;
        const char *mentions;
    } cases[] = {
        {{}, "--port"},
        {{"--demo", "--port", "/dev/x"}, "not both"},
        {{"--demo", "--period", "0.7"}, "0.7"},
        {{"--demo", "--period", "61"}, "61"},
        {{"--demo", "--rows", "0"}, "--rows"},
        {{"--demo", "--seconds", "abc"}, "--seconds"},
        {{"--demo", "--txt"}, "--txt needs a file name"},
        {{"--demo", "--txt", "--rows", "1"}, "--txt needs a file name"},
        {{"--demo", "--port", "--csv"}, "--port needs a device path"},
        {{"--demo", "--rows", "2147483648"}, "--rows"},
        {{"--demo", "--seconds", "3155760001"}, "--seconds"},
        {{"--demo", "--bogus"}, "unknown option '--bogus'"},
        {{"--demo", "-x"}, "unknown option '-x'"},
        {{"--demo", "extra"}, "unexpected operand 'extra'"},
        {{"--demo", "--demo=1"}, "unexpected value after '--demo'"},
    };
    for (const auto &c : cases) {
        const RecorderArgs r = parse(c.args);
        EXPECT_FALSE(r.options.has_value()) << c.mentions;
        EXPECT_FALSE(r.help);
        EXPECT_TRUE(r.error.contains(QString::fromLatin1(c.mentions))) << r.error.toStdString();
        EXPECT_FALSE(r.error.contains(QLatin1Char('\n'))) << r.error.toStdString();
    }
    EXPECT_TRUE(parse({"--demo", "--help"}).help);
    EXPECT_TRUE(parse({"-h"}).help);
    EXPECT_TRUE(parse({"--version"}).version);
}

// The service's /etc/breezon/NAME.conf: a value is the rest of its line,
// spaces and all.
TEST(RecorderOptions, AnOptionsFileTakesOneOptionALineWithSpacesInValues)
{
    const struct {
        const char *text;
        QStringList words;
        const char *error; // a word of the reason, or null
    } cases[] = {
        {"# duct 7\n\n--csv duct 7.csv  \r\n\t--name  a b\n--ha-discovery\n--txt=x y.txt\n",
         {"--csv", "duct 7.csv", "--name", "a b", "--ha-discovery", "--txt=x y.txt"}, nullptr},
        {"--demo\nport /dev/x\n", {}, "conf line 2: 'port /dev/x' is not an option"},
        {"BREEZON_OPTIONS=--demo\n", {}, "old form"},
        {"--options-file other.conf\n", {}, "cannot name another"},
    };
    for (const auto &c : cases) {
        QString why;
        const auto words = optionsFromText(QString::fromUtf8(c.text), QStringLiteral("conf"), &why);
        if (c.error) {
            EXPECT_FALSE(words) << c.text;
            EXPECT_TRUE(why.contains(QLatin1String(c.error))) << why.toStdString();
        } else {
            ASSERT_TRUE(words) << why.toStdString();
            EXPECT_EQ(*words, c.words);
        }
    }

    // Where --options-file stands, later options winning.
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    file.write("--demo\n--csv duct 7.csv\n--rows 5\n");
    file.flush();
    const RecorderArgs a = parseRecorderArgs({QStringLiteral("--options-file"), file.fileName(), QStringLiteral("--rows"),
                                              QStringLiteral("3")});
    ASSERT_TRUE(a.options) << a.error.toStdString();
    EXPECT_EQ(a.options->output(QStringLiteral("--csv")), QStringLiteral("duct 7.csv"));
    EXPECT_EQ(a.options->rows, 3);
    EXPECT_TRUE(parse({"--options-file", "/nonexistent/x.conf"}).error.contains(QLatin1String("/nonexistent/x.conf")));
}

TEST(RecorderOptions, UsageFitsEightyColumnsAndNamesEveryOption)
{
    const QString usage = recorderUsage();
    for (const QString &line : usage.split(QLatin1Char('\n')))
        EXPECT_LE(line.size(), 80) << line.toStdString();
    for (const char *flag : {"--port PATH", "--period P", "--mqtt-password-file FILE", "--stdout FORMAT", "--version"})
        EXPECT_TRUE(usage.contains(QString::fromLatin1(flag))) << flag;
}

} // namespace

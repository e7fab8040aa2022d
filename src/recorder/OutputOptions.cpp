// SPDX-License-Identifier: GPL-3.0-or-later
#include "OutputOptions.h"

#include "CsvOutput.h"
#include "MqttOutput.h"
#include "SpreadsheetOutput.h"
#include "SummaryOutput.h"
#include "TextFileOutput.h"

#include <type_traits>

namespace {

// The output T for the option's value, and the run's context where T takes it.
template <typename T>
std::unique_ptr<Output> make(const QString &value, const OutputContext &context)
{
    if constexpr (std::is_constructible_v<T, QString, const OutputContext &>)
        return std::make_unique<T>(value, context);
    else
        return std::make_unique<T>(value);
}

std::unique_ptr<Output> makeSummary(const QString &, const OutputContext &)
{
    return std::make_unique<SummaryOutput>();
}

} // namespace

const std::vector<OutputOption> &outputOptions()
{
    static const std::vector<OutputOption> table = {
        {QStringLiteral("--txt"), QStringLiteral("FILE"),
         QStringLiteral("append each row to FILE as Save TXT writes it (UTF-16)"), make<TextFileOutput>},
        {QStringLiteral("--csv"), QStringLiteral("FILE"),
         QStringLiteral("append each row to FILE as comma-separated UTF-8"), make<CsvOutput>},
        {QStringLiteral("--xls"), QStringLiteral("FILE"),
         QStringLiteral("write the spreadsheet file FILE when the run ends"), make<SpreadsheetOutput>},
        {QStringLiteral("--breezon"), QStringLiteral("FILE"),
         QStringLiteral("record into FILE (continued if it is one) rather than the recordings folder"), nullptr},
        {QStringLiteral("--no-journal"), QString(),
         QStringLiteral("keep no recording file (then no --xls and no --mqtt)"), nullptr},
        {QStringLiteral("--name"), QStringLiteral("NAME"),
         QStringLiteral("the instrument's name in every output (default: HOST-PORT, this machine's name and "
                        "the port's)"),
         nullptr},
        {QStringLiteral("--mqtt"), QStringLiteral("URL"),
         QStringLiteral("publish each row to an MQTT broker: mqtt[s]://HOST[:PORT][/PREFIX]"), make<MqttOutput>},
        {QStringLiteral("--mqtt-user"), QStringLiteral("NAME"),
         QStringLiteral("the broker's user name (password: $BREEZON_MQTT_PASSWORD)"), nullptr},
        {QStringLiteral("--mqtt-password-file"), QStringLiteral("FILE"),
         QStringLiteral("read the broker's password from FILE's first line"), nullptr},
        {QStringLiteral("--mqtt-ca"), QStringLiteral("FILE"),
         QStringLiteral("trust the broker's certificate by this CA (default: the system's)"), nullptr},
        {QStringLiteral("--mqtt-wait"), QStringLiteral("SECONDS"),
         QStringLiteral("at the end, wait this long for a broker that takes nothing (default 10)"), nullptr},
        {QStringLiteral("--ha-discovery"), QString(),
         QStringLiteral("also publish Home Assistant discovery messages"), nullptr},
        {QStringLiteral("--summary"), QString(),
         QStringLiteral("at the end, print each quantity's count, min, max, mean and sd on standard error"),
         makeSummary},
        {QStringLiteral("--summary-json"), QStringLiteral("FILE"),
         QStringLiteral("at the end, write the same statistics to FILE as one JSON object"), make<SummaryOutput>},
        {QStringLiteral("--stdout"), QStringLiteral("FORMAT"),
         QStringLiteral("print rows as text (default), jsonl or influx (line protocol)"), nullptr},
    };
    return table;
}

const OutputOption *findOutputOption(const QString &flag)
{
    for (const OutputOption &o : outputOptions())
        if (o.flag == flag)
            return &o;
    return nullptr;
}

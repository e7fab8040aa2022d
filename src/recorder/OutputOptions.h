// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The recorder's outputs as one table: each option's flag, its value's name,
// its line of the usage text and how it makes its output. The parser, --help
// and the manual page's OPTIONS are made from it. A new format is one row
// here and one new class in src/outputs/.

#include "Output.h"

#include <QString>

#include <memory>
#include <vector>

struct OutputOption {
    QString flag;      // "--txt"
    QString valueName; // "FILE"; empty for a switch
    QString help;      // the usage text's line
    // Makes the output for the value given; null for an option that only
    // configures an output (its value lands in OutputContext::settings).
    std::unique_ptr<Output> (*make)(const QString &value, const OutputContext &context) = nullptr;
};

const std::vector<OutputOption> &outputOptions();
const OutputOption *findOutputOption(const QString &flag);

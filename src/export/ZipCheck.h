// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A check that a spreadsheet package on disk is whole: the zip directory is
// there and consistent, every member inflates to its recorded size and CRC,
// and every XML member ends with the closing tag of its root element.

#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <string>

struct ZipCheckResult {
    QString problem; // empty when the package is whole
    std::map<std::string, std::uint64_t> sizes; // member name -> inflated size
    std::map<std::string, std::string> heads;   // member name -> its first bytes
    std::map<std::string, std::string> tails;   // member name -> its last bytes
    bool ok() const { return problem.isEmpty(); }
};

// `only`, when given, names the members to inflate and check; the others are
// checked by their place in the directory alone (a quick look at a large
// package).
ZipCheckResult checkZipPackage(const QString &path, const std::function<bool(const std::string &)> &only = {});

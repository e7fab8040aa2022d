// SPDX-License-Identifier: GPL-3.0-or-later
#include "LiveFileOutput.h"

#include <QFile>
#include <QFileInfo>

namespace {
// A bulk goes out in writes of about this size.
constexpr qsizetype kBulkBytes = 1 << 20;
} // namespace

ExportResult LiveFileOutput::open()
{
    created_ = !QFileInfo::exists(path_);
    if (!file_.open(path_, lineEnd(), [this](const LiveFile::Existing &e) { return whyNotOurs(e); }))
        return ExportResult::failure(file_.error());
    const ExportResult prepared = prepare();
    if (!prepared.ok)
        discard();
    return prepared;
}

void LiveFileOutput::discard()
{
    file_.close();
    if (created_)
        QFile::remove(path_);
    created_ = false;
}

void LiveFileOutput::beginBulk()
{
    inBulk_ = true;
    file_.setSync(false);
}

void LiveFileOutput::endBulk()
{
    inBulk_ = false;
    if (!bulk_.isEmpty())
        told(file_.append(bulk_));
    bulk_.clear();
    file_.setSync(true);
    if (file_.isOpen())
        told(file_.sync());
}

void LiveFileOutput::told(bool ok)
{
    if (!ok)
        failed(file_.error());
    else if (failing())
        recovered(QStringLiteral("the %1 is written again; every row that waited is in it").arg(name()));
}

void LiveFileOutput::add(const RowRecord &row)
{
    if (!file_.isOpen())
        return;
    if (!inBulk_) {
        told(file_.append(record(row)));
        return;
    }
    if (bulk_.isEmpty())
        bulk_.reserve(kBulkBytes + 4096);
    bulk_ += record(row);
    if (bulk_.size() >= kBulkBytes) {
        told(file_.append(bulk_));
        bulk_.clear();
    }
}

void LiveFileOutput::tick()
{
    if (file_.isOpen() && file_.waiting() > 0)
        told(file_.retry());
}

ExportResult LiveFileOutput::finish()
{
    const bool told = failing();
    if (file_.close())
        return ExportResult::success();
    const std::size_t lost = file_.waiting();
    ExportResult r = ExportResult::failure(
        lost > 0 ? QStringLiteral("%1 rows never went out: %2").arg(lost).arg(file_.error()) : file_.error());
    r.reported = told && lost == 0;
    return r;
}

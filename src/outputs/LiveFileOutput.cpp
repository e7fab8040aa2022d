// SPDX-License-Identifier: GPL-3.0-or-later
#include "LiveFileOutput.h"

#include <QFile>
#include <QFileInfo>

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
    file_.beginBulk();
}

void LiveFileOutput::endBulk()
{
    const bool ok = file_.endBulk();
    if (file_.isOpen())
        told(ok);
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
    told(file_.append(record(row)));
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

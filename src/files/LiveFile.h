// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A file that grows by one record per row: every record is written and
// forced to the disk as the row is added, so a crash or a power cut loses at
// most the record being written. An existing file is continued, never
// emptied, and held with posix_file::lockForThisProcess so a second breezon
// cannot write into the same run. It is continued only when its owner's
// check finds it one of its own, before a byte of it is cut or written; a
// file refused is left as it was.
//
// A record the system refuses (a full disk) is never left torn: what went
// out of it is cut off again, and it waits in memory with every later one.
// Each later append(), and retry(), writes what waits, in order, so the
// file ends with every row once space comes back.

#include <QByteArray>
#include <QString>

#include <deque>
#include <functional>

class LiveFile {
public:
    LiveFile() = default;
    ~LiveFile();
    LiveFile(const LiveFile &) = delete;
    LiveFile &operator=(const LiveFile &) = delete;

    // What an existing file holds where it is checked: its first and its
    // last whole lines (about 64 KiB of each, every line with its line end;
    // both empty when there is no whole line), and what follows the last
    // line end, a line cut short by an earlier run.
    struct Existing {
        QByteArray head;
        QByteArray tail;
        QByteArray torn;
    };
    // Empty when the file is one its owner writes; else why not.
    using Check = std::function<QString(const Existing &)>;

    // Creates or continues `path`. An existing file must pass `check`; its
    // last line, when cut short (it does not end in `lineEnd`), is then cut
    // off. False with the reason in error().
    bool open(const QString &path, const QByteArray &lineEnd = QByteArrayLiteral("\r\n"), const Check &check = {});
    // Writes to a descriptor of someone else's (standard output): neither
    // locked nor closed here, and synced only when `sync`.
    void adopt(int fd, bool sync);

    // Queues the record and writes everything waiting; false while any
    // record waits, with the reason in error().
    bool append(const QByteArray &record);
    // Writes what waits; true when nothing does.
    bool retry();
    // Whether each write is forced to the disk (the default for a file
    // opened here).
    void setSync(bool sync) { sync_ = sync; }
    bool sync();
    // Many records at once (a conversion): between these two, append()
    // gathers them into writes of about 1 MiB, unsynced; endBulk() writes
    // the rest and then syncs once where each write was synced. Both answer
    // as append() does (false while a record waits).
    void beginBulk();
    bool endBulk();
    // Closes, reporting records that never went out or a write lost at the
    // last moment.
    bool close();

    bool isOpen() const { return fd_ >= 0; }
    bool failed() const { return !waiting_.empty() || !error_.isEmpty(); }
    std::size_t waiting() const { return waiting_.size(); }
    // Bytes in the file when it was opened (0: a new or empty file).
    qint64 sizeAtOpen() const { return sizeAtOpen_; }
    QString error() const { return error_; }
    int errorNumber() const { return errno_; }

private:
    bool writeOne(const QByteArray &records);
    bool fail(); // error() and errorNumber() from errno; false

    int fd_ = -1;
    bool owned_ = true;
    bool sync_ = true;
    bool inBulk_ = false;
    bool syncAfterBulk_ = false;
    QByteArray bulk_; // records of a bulk not yet handed to waiting_
    qint64 sizeAtOpen_ = 0;
    QString error_;
    int errno_ = 0;
    std::deque<QByteArray> waiting_;
};

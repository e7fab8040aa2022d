#pragma once
// A file that grows by one record per row: every record is written and
// forced to the disk as the row is added, so a crash or a power cut loses at
// most the record being written.

#include <QByteArray>
#include <QString>

class LiveFile {
public:
    LiveFile() = default;
    ~LiveFile();
    LiveFile(const LiveFile &) = delete;
    LiveFile &operator=(const LiveFile &) = delete;

    // Creates or empties `path`; false with the reason in `error()`.
    bool open(const QString &path);
    // Writes the whole record and syncs it; after a failure the file takes
    // no more records and error() says why.
    bool append(const QByteArray &record);
    // Closes, reporting a write lost at the last moment.
    bool close();

    bool isOpen() const { return fd_ >= 0; }
    bool failed() const { return !error_.isEmpty(); }
    QString path() const { return path_; }
    QString error() const { return error_; }

private:
    int fd_ = -1;
    QString path_;
    QString error_;
};

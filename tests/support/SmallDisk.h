// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A small disk of its own for a test: a tmpfs of the size given, mounted on
// a temporary folder (root only) and let go at the end. And a folder seen
// read-only, as on a read-only mount. Where mounting is not permitted
// `mounted` is false, and the test skips.

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <sys/mount.h>

struct SmallDisk {
    QTemporaryDir dir;
    bool mounted = false;

    explicit SmallDisk(const char *size) // as mount takes it: "64k"
    {
        mounted = dir.isValid() && ::mount("tmpfs", QFile::encodeName(dir.path()).constData(), "tmpfs", 0,
                                           (QByteArray("size=") + size).constData()) == 0;
    }
    ~SmallDisk()
    {
        if (mounted)
            ::umount2(QFile::encodeName(dir.path()).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    QString path(const QString &name) const { return dir.filePath(name); }
    // Takes every page that is left; the filler's path, to remove when the
    // space is to come back.
    QString fill() const
    {
        const QString filler = path(QStringLiteral("filler"));
        QFile f(filler);
        f.open(QIODevice::WriteOnly);
        const QByteArray block(512, 'x');
        while (f.write(block) == block.size() && f.flush()) {
        }
        return filler;
    }
};

// `folder` made read-only in place (a read-only bind mount over it) until
// the end of the scope.
struct ReadOnlyView {
    QByteArray folder;
    bool mounted = false;

    explicit ReadOnlyView(const QString &path) : folder(QFile::encodeName(path))
    {
        mounted = ::mount(folder.constData(), folder.constData(), nullptr, MS_BIND, nullptr) == 0;
        if (mounted && ::mount(nullptr, folder.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
            ::umount2(folder.constData(), MNT_DETACH);
            mounted = false;
        }
    }
    ~ReadOnlyView()
    {
        if (mounted)
            ::umount2(folder.constData(), MNT_DETACH);
    }
    ReadOnlyView(const ReadOnlyView &) = delete;
    ReadOnlyView &operator=(const ReadOnlyView &) = delete;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ZipCheck.h"

#include <QFile>

#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::uint32_t kEndOfDirectory = 0x06054b50;
constexpr std::uint32_t kZip64End = 0x06064b50;
constexpr std::uint32_t kZip64Locator = 0x07064b50;
constexpr std::uint32_t kDirectoryEntry = 0x02014b50;
constexpr std::uint32_t kLocalHeader = 0x04034b50;
constexpr std::size_t kKeep = 4096;                  // bytes kept of a member's start and end
constexpr std::uint64_t kMaxDirectory = 64u << 20;   // far beyond any workbook of ours

std::uint16_t le16(const unsigned char *p) { return std::uint16_t(p[0] | (p[1] << 8)); }
std::uint32_t le32(const unsigned char *p) { return std::uint32_t(le16(p)) | (std::uint32_t(le16(p + 2)) << 16); }
std::uint64_t le64(const unsigned char *p) { return std::uint64_t(le32(p)) | (std::uint64_t(le32(p + 4)) << 32); }

class Reader {
public:
    explicit Reader(const QString &path)
    {
        const QByteArray name = QFile::encodeName(path);
        fd_ = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
        struct stat st;
        if (fd_ >= 0 && ::fstat(fd_, &st) == 0)
            size_ = std::uint64_t(st.st_size);
    }
    ~Reader()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool isOpen() const { return fd_ >= 0; }
    std::uint64_t size() const { return size_; }
    bool read(std::uint64_t offset, void *out, std::size_t length) const
    {
        auto *p = static_cast<unsigned char *>(out);
        while (length > 0) {
            const ssize_t n = ::pread(fd_, p, length, off_t(offset));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            p += n;
            offset += std::uint64_t(n);
            length -= std::size_t(n);
        }
        return true;
    }

private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

struct Member {
    std::string name;
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint64_t packed = 0;
    std::uint64_t size = 0;
    std::uint64_t localOffset = 0;
};

bool isXml(const std::string &name)
{
    auto endsWith = [&](const char *suffix) {
        const std::size_t n = std::strlen(suffix);
        return name.size() >= n && name.compare(name.size() - n, n, suffix) == 0;
    };
    return endsWith(".xml") || endsWith(".rels");
}

// The root element's name: the first tag that is not a declaration,
// processing instruction or comment.
std::string rootName(const std::string &head)
{
    std::size_t i = 0;
    while ((i = head.find('<', i)) != std::string::npos) {
        if (i + 1 < head.size() && (head[i + 1] == '?' || head[i + 1] == '!')) {
            ++i;
            continue;
        }
        std::size_t end = i + 1;
        while (end < head.size() && !std::strchr(" \t\r\n/>", head[end]))
            ++end;
        return head.substr(i + 1, end - i - 1);
    }
    return {};
}

bool xmlComplete(const std::string &head, const std::string &tail, bool whole)
{
    const std::string root = rootName(head);
    if (root.empty())
        return false;
    std::size_t end = tail.size();
    while (end > 0 && std::strchr(" \t\r\n", tail[end - 1]))
        --end;
    const std::string closing = "</" + root + ">";
    if (end >= closing.size() && tail.compare(end - closing.size(), closing.size(), closing) == 0)
        return true;
    // A root without content, "<root .../>", is whole only if nothing follows it.
    return whole && end >= 2 && tail.compare(end - 2, 2, "/>") == 0 &&
           head.find('>', head.find("<" + root)) + 1 == end;
}

QString inflateMember(const Reader &file, const Member &m, std::uint64_t dataStart, std::string &head,
                      std::string &tail)
{
    const QString where = QString::fromStdString(m.name);
    if (m.method != 0 && m.method != 8)
        return QStringLiteral("%1 is stored in an unknown way").arg(where);

    z_stream z{};
    if (m.method == 8 && inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return QStringLiteral("out of memory");
    std::vector<unsigned char> in(1u << 20), out(1u << 18);
    std::uint64_t offset = dataStart, left = m.packed, produced = 0;
    uLong crc = crc32(0, nullptr, 0);
    bool ended = m.method == 0;
    auto take = [&](const unsigned char *p, std::size_t n) {
        crc = crc32(crc, p, uInt(n));
        produced += n;
        if (head.size() < kKeep)
            head.append(reinterpret_cast<const char *>(p), std::min(n, kKeep - head.size()));
        tail.append(reinterpret_cast<const char *>(p), n);
        if (tail.size() > 2 * kKeep)
            tail.erase(0, tail.size() - kKeep);
    };
    QString problem;
    while (left > 0 && problem.isEmpty()) {
        const std::size_t n = std::size_t(std::min<std::uint64_t>(left, in.size()));
        if (!file.read(offset, in.data(), n)) {
            problem = QStringLiteral("%1 cannot be read back").arg(where);
            break;
        }
        offset += n;
        left -= n;
        if (m.method == 0) {
            take(in.data(), n);
            continue;
        }
        z.next_in = in.data();
        z.avail_in = uInt(n);
        while (z.avail_in > 0 && !ended) {
            z.next_out = out.data();
            z.avail_out = uInt(out.size());
            const int rc = inflate(&z, Z_NO_FLUSH);
            take(out.data(), out.size() - z.avail_out);
            if (rc == Z_STREAM_END) {
                ended = true;
            } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
                problem = QStringLiteral("%1 is damaged").arg(where);
                break;
            } else if (rc == Z_BUF_ERROR && z.avail_in > 0 && z.avail_out > 0) {
                problem = QStringLiteral("%1 is damaged").arg(where);
                break;
            }
        }
        if (ended && (z.avail_in > 0 || left > 0) && m.method == 8 && problem.isEmpty())
            problem = QStringLiteral("%1 is damaged").arg(where);
    }
    // Output still pending after the last input byte.
    while (m.method == 8 && !ended && problem.isEmpty()) {
        z.next_out = out.data();
        z.avail_out = uInt(out.size());
        const int rc = inflate(&z, Z_NO_FLUSH);
        const std::size_t got = out.size() - z.avail_out;
        take(out.data(), got);
        if (rc == Z_STREAM_END)
            ended = true;
        else if (got == 0)
            problem = QStringLiteral("%1 is cut short").arg(where);
    }
    if (m.method == 8)
        inflateEnd(&z);
    if (!problem.isEmpty())
        return problem;
    if (produced != m.size || crc != m.crc)
        return QStringLiteral("%1 does not match its recorded size or checksum").arg(where);
    if (isXml(m.name) && !xmlComplete(head, tail, produced <= kKeep))
        return QStringLiteral("%1 is cut short").arg(where);
    return {};
}

} // namespace

ZipCheckResult checkZipPackage(const QString &path, const std::function<bool(const std::string &)> &only)
{
    ZipCheckResult result;
    auto fail = [&](const QString &why) {
        result.problem = why;
        return result;
    };
    Reader file(path);
    if (!file.isOpen())
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    const std::uint64_t size = file.size();
    if (size < 22)
        return fail(QStringLiteral("the file is cut short"));

    // End of central directory: the last 22 bytes plus a comment of up to 64 KiB.
    const std::size_t tailLength = std::size_t(std::min<std::uint64_t>(size, 22 + 0xFFFF));
    std::vector<unsigned char> tail(tailLength);
    if (!file.read(size - tailLength, tail.data(), tailLength))
        return fail(QStringLiteral("the file cannot be read back"));
    std::int64_t at = -1;
    for (std::int64_t i = std::int64_t(tailLength) - 22; i >= 0; --i) {
        const unsigned char *p = tail.data() + i;
        if (le32(p) == kEndOfDirectory && std::uint64_t(i) + 22 + le16(p + 20) == tailLength) {
            at = i;
            break;
        }
    }
    if (at < 0)
        return fail(QStringLiteral("the file is cut short (no zip directory)"));
    const unsigned char *e = tail.data() + at;
    const std::uint64_t endOffset = size - tailLength + std::uint64_t(at);
    std::uint64_t entries = le16(e + 10);
    std::uint64_t dirSize = le32(e + 12);
    std::uint64_t dirOffset = le32(e + 16);
    std::uint64_t dirEnd = endOffset;
    if (le16(e + 4) != 0 || le16(e + 6) != 0 || le16(e + 8) != le16(e + 10))
        return fail(QStringLiteral("the zip directory spans several disks"));
    if (entries == 0xFFFF || dirSize == 0xFFFFFFFF || dirOffset == 0xFFFFFFFF) {
        unsigned char locator[20], end64[56];
        if (endOffset < 20 || !file.read(endOffset - 20, locator, 20) || le32(locator) != kZip64Locator)
            return fail(QStringLiteral("the zip directory is damaged"));
        const std::uint64_t end64Offset = le64(locator + 8);
        if (!file.read(end64Offset, end64, 56) || le32(end64) != kZip64End)
            return fail(QStringLiteral("the zip directory is damaged"));
        entries = le64(end64 + 32);
        dirSize = le64(end64 + 40);
        dirOffset = le64(end64 + 48);
        dirEnd = end64Offset;
    }
    if (dirOffset + dirSize != dirEnd || dirSize > kMaxDirectory || entries == 0)
        return fail(QStringLiteral("the zip directory is damaged"));

    std::vector<unsigned char> dir(static_cast<std::size_t>(dirSize));
    if (!file.read(dirOffset, dir.data(), dir.size()))
        return fail(QStringLiteral("the file cannot be read back"));
    std::vector<Member> members;
    std::size_t pos = 0;
    for (std::uint64_t k = 0; k < entries; ++k) {
        if (pos + 46 > dir.size() || le32(dir.data() + pos) != kDirectoryEntry)
            return fail(QStringLiteral("the zip directory is damaged"));
        const unsigned char *d = dir.data() + pos;
        Member m;
        m.method = le16(d + 10);
        m.crc = le32(d + 16);
        m.packed = le32(d + 20);
        m.size = le32(d + 24);
        const std::size_t nameLength = le16(d + 28), extraLength = le16(d + 30), commentLength = le16(d + 32);
        m.localOffset = le32(d + 42);
        if (pos + 46 + nameLength + extraLength + commentLength > dir.size())
            return fail(QStringLiteral("the zip directory is damaged"));
        m.name.assign(reinterpret_cast<const char *>(d + 46), nameLength);
        // Zip64 sizes and offset, in this order, for the fields that overflowed.
        const unsigned char *x = d + 46 + nameLength, *xEnd = x + extraLength;
        while (x + 4 <= xEnd) {
            const std::uint16_t id = le16(x), length = le16(x + 2);
            const unsigned char *v = x + 4, *vEnd = std::min(v + length, xEnd);
            if (id == 0x0001) {
                for (std::uint64_t *field : {&m.size, &m.packed, &m.localOffset})
                    if (*field == 0xFFFFFFFF && v + 8 <= vEnd) {
                        *field = le64(v);
                        v += 8;
                    }
            }
            x += 4 + length;
        }
        members.push_back(std::move(m));
        pos += 46 + nameLength + extraLength + commentLength;
    }

    bool types = false, workbook = false;
    for (const Member &m : members) {
        unsigned char local[30];
        if (!file.read(m.localOffset, local, 30) || le32(local) != kLocalHeader)
            return fail(QStringLiteral("%1 is missing").arg(QString::fromStdString(m.name)));
        const std::uint64_t dataStart = m.localOffset + 30 + le16(local + 26) + le16(local + 28);
        if (dataStart + m.packed > dirOffset)
            return fail(QStringLiteral("%1 is cut short").arg(QString::fromStdString(m.name)));
        if (QString why = only && !only(m.name)
                              ? QString()
                              : inflateMember(file, m, dataStart, result.heads[m.name], result.tails[m.name]);
            !why.isEmpty())
            return fail(why);
        result.sizes[m.name] = m.size;
        types = types || m.name == "[Content_Types].xml";
        workbook = workbook || m.name == "xl/workbook.xml";
    }
    if (!types || !workbook)
        return fail(QStringLiteral("the file is not a spreadsheet package"));
    return result;
}

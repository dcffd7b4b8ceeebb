#include "imagestore.h"

#include "status.h"

#include <sodium.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::uint32_t be32(const std::string &b, size_t at)
{
    return (std::uint32_t(std::uint8_t(b[at])) << 24)
        | (std::uint32_t(std::uint8_t(b[at + 1])) << 16)
        | (std::uint32_t(std::uint8_t(b[at + 2])) << 8) | std::uint32_t(std::uint8_t(b[at + 3]));
}

std::uint32_t le32(const std::string &b, size_t at)
{
    return std::uint32_t(std::uint8_t(b[at])) | (std::uint32_t(std::uint8_t(b[at + 1])) << 8)
        | (std::uint32_t(std::uint8_t(b[at + 2])) << 16)
        | (std::uint32_t(std::uint8_t(b[at + 3])) << 24);
}

bool soundPng(const std::string &b)
{
    static const char signature[] = "\x89PNG\r\n\x1a\n";
    if (b.size() < 33 || b.compare(0, 8, signature, 8) != 0 || b.compare(12, 4, "IHDR") != 0)
        return false;
    const std::uint32_t w = be32(b, 16), h = be32(b, 20);
    return w > 0 && h > 0 && w < 100000 && h < 100000 && b.find("IEND") != std::string::npos;
}

bool soundJpeg(const std::string &b)
{
    if (b.size() < 4 || std::uint8_t(b[0]) != 0xFF || std::uint8_t(b[1]) != 0xD8)
        return false;
    // Walk the segments up to a start-of-frame marker that names the size.
    size_t at = 2;
    while (at + 9 < b.size()) {
        if (std::uint8_t(b[at]) != 0xFF)
            return false;
        const std::uint8_t marker = std::uint8_t(b[at + 1]);
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        const size_t length = (size_t(std::uint8_t(b[at + 2])) << 8) | std::uint8_t(b[at + 3]);
        if (length < 2)
            return false;
        const bool sof = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8
            && marker != 0xCC;
        if (sof) {
            const size_t h = (size_t(std::uint8_t(b[at + 5])) << 8) | std::uint8_t(b[at + 6]);
            const size_t w = (size_t(std::uint8_t(b[at + 7])) << 8) | std::uint8_t(b[at + 8]);
            return w > 0 && h > 0;
        }
        at += 2 + length;
    }
    return false;
}

bool soundGif(const std::string &b)
{
    if (b.size() < 14 || (b.compare(0, 6, "GIF87a") != 0 && b.compare(0, 6, "GIF89a") != 0))
        return false;
    const unsigned w = std::uint8_t(b[6]) | (std::uint8_t(b[7]) << 8);
    const unsigned h = std::uint8_t(b[8]) | (std::uint8_t(b[9]) << 8);
    return w > 0 && h > 0;
}

bool soundBmp(const std::string &b)
{
    if (b.size() < 26 || b[0] != 'B' || b[1] != 'M')
        return false;
    const std::uint32_t offset = le32(b, 10), header = le32(b, 14);
    if (offset >= b.size() || header < 12)
        return false;
    if (header == 12)
        return true;
    const std::int32_t w = std::int32_t(le32(b, 18)), h = std::int32_t(le32(b, 22));
    return w > 0 && h != 0;
}

std::string hexOf(const unsigned char *bytes, size_t size)
{
    std::string out(size * 2 + 1, '\0');
    sodium_bin2hex(out.data(), out.size(), bytes, size);
    out.pop_back();
    return out;
}

bool syncDirectory(const std::string &dir)
{
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

// Written under a name of its own and renamed into place, so uploads of the same picture at
// the same moment never share a half-written file; the folder is synced so the name lasts.
bool writeFile(const std::string &dir, const std::string &name, const std::string &bytes)
{
    std::string temporary = dir + "/." + name + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    size_t written = 0;
    bool ok = ::fchmod(fd, 0644) == 0;
    while (ok && written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            ok = false;
        else
            written += size_t(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ::close(fd);
    if (!ok || ::rename(temporary.c_str(), (dir + "/" + name).c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return syncDirectory(dir);
}

const char quotaMessage[] = "图片空间已满：每位老师最多保存200MB图片，请使用已上传的图片";

struct QuotaFull { };

} // namespace

ImageStore::ImageStore(Database &db, std::string dataDir)
    : m_db(db)
    , m_dir(dataDir + "/images")
{
    ::mkdir(m_dir.c_str(), 0755);
}

std::string ImageStore::sniff(const std::string &bytes)
{
    if (soundPng(bytes))
        return "image/png";
    if (soundJpeg(bytes))
        return "image/jpeg";
    if (soundGif(bytes))
        return "image/gif";
    if (soundBmp(bytes))
        return "image/bmp";
    return std::string();
}

std::string ImageStore::pathFor(const std::string &sha256) const
{
    return m_dir + "/" + sha256.substr(0, 2) + "/" + sha256;
}

std::int64_t ImageStore::usage(
    Database::Connection &c, std::int64_t userId, const std::string &sha, bool &alreadyKept)
{
    SqlStatement &sum = c.cached(
        "SELECT COALESCE(SUM(size), 0), COALESCE(MAX(sha256 = ?), 0) FROM "
        "(SELECT sha256, MAX(size) AS size FROM images WHERE user_id = ? GROUP BY sha256)");
    sum.bind(1, sha).bind(2, userId);
    sum.step();
    const std::int64_t used = sum.integer(0);
    alreadyKept = sum.integer(1) != 0;
    sum.reset();
    return used;
}

std::optional<std::string> ImageStore::store(const std::string &bytes, const std::string &usageType,
    std::int64_t userId, std::string &error, int &refusal)
{
    refusal = status::BadRequest;
    if (bytes.empty()) {
        error = "文件为空";
        return std::nullopt;
    }
    if (bytes.size() > MaxBytes) {
        error = "图片不能大于10MB";
        return std::nullopt;
    }
    const std::string contentType = sniff(bytes);
    if (contentType.empty()) {
        error = "文件不是PNG、JPEG、GIF或BMP图片";
        return std::nullopt;
    }
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size());
    const std::string sha = hexOf(digest, sizeof digest);
    const std::int64_t size = std::int64_t(bytes.size());
    auto overQuota = [&](Database::Connection &c) {
        bool kept = false;
        const std::int64_t used = usage(c, userId, sha, kept);
        return !kept && used + size > QuotaBytes;
    };
    {
        // Checked again when the key is written; this spares the disk a refused picture.
        Database::Lease c = m_db.lease();
        if (overQuota(*c)) {
            refusal = status::Failed;
            error = quotaMessage;
            return std::nullopt;
        }
    }
    const std::string path = pathFor(sha);
    struct stat info { };
    if (::stat(path.c_str(), &info) != 0 || info.st_size != size) {
        const std::string dir = m_dir + "/" + sha.substr(0, 2);
        if (::mkdir(dir.c_str(), 0755) == 0)
            syncDirectory(m_dir);
        if (!writeFile(dir, sha, bytes)) {
            refusal = status::Failed;
            error = "图片保存失败";
            return std::nullopt;
        }
    }
    unsigned char random[16];
    randombytes_buf(random, sizeof random);
    const std::string key = hexOf(random, sizeof random);
    try {
        m_db.write([&](Database::Connection &c) {
            if (overQuota(c))
                throw QuotaFull();
            SqlStatement &insert
                = c.cached("INSERT INTO images(file_key, sha256, content_type, size, usage_type, "
                           "created_at, user_id) VALUES (?, ?, ?, ?, ?, ?, ?)");
            insert.bind(1, key).bind(2, sha).bind(3, contentType).bind(4, size);
            insert.bind(5, usageType.substr(0, 32)).bind(6, std::int64_t(std::time(nullptr)));
            insert.bind(7, userId);
            insert.run();
        });
    } catch (const QuotaFull &) {
        refusal = status::Failed;
        error = quotaMessage;
        return std::nullopt;
    }
    refusal = status::Ok;
    return key;
}

std::optional<ImageStore::Image> ImageStore::load(const std::string &fileKey)
{
    if (fileKey.size() != 32 || fileKey.find_first_not_of("0123456789abcdef") != std::string::npos)
        return std::nullopt;
    std::string sha;
    Image image;
    {
        Database::Lease c = m_db.lease();
        SqlStatement &select
            = c->cached("SELECT sha256, content_type FROM images WHERE file_key = ?");
        select.bind(1, fileKey);
        if (!select.step())
            return std::nullopt;
        sha = select.text(0);
        image.contentType = select.text(1);
        select.reset();
    }
    std::FILE *file = std::fopen(pathFor(sha).c_str(), "rb");
    if (!file)
        return std::nullopt;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        image.bytes.append(buffer, n);
    std::fclose(file);
    return image;
}

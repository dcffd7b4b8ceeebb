#pragma once

#include "database.h"

#include <cstdint>
#include <optional>
#include <string>

// Uploaded pictures: the bytes live content-addressed under DATA/images, the random file keys
// handed to the client map onto them in the database. Each teacher may keep QuotaBytes of
// distinct pictures.
class ImageStore
{
public:
    static constexpr size_t MaxBytes = 10 * 1024 * 1024;
    static constexpr std::int64_t QuotaBytes = 200ll * 1024 * 1024;

    struct Image {
        std::string contentType;
        std::string bytes;
    };

    ImageStore(Database &db, std::string dataDir);

    // The content type for PNG, JPEG, GIF or BMP bytes whose header is sound; empty otherwise.
    static std::string sniff(const std::string &bytes);

    // Stores the teacher's bytes and returns the new file key; when it refuses, error holds the
    // reason and refusal the reply status for it.
    std::optional<std::string> store(const std::string &bytes, const std::string &usageType,
        std::int64_t userId, std::string &error, int &refusal);
    std::optional<Image> load(const std::string &fileKey);

private:
    std::string pathFor(const std::string &sha256) const;
    // Bytes of distinct pictures the teacher keeps, and whether one of them has this hash.
    static std::int64_t usage(
        Database::Connection &c, std::int64_t userId, const std::string &sha, bool &alreadyKept);

    Database &m_db;
    std::string m_dir;
};

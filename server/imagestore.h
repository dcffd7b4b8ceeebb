#pragma once

#include "database.h"

#include <optional>
#include <string>

// Uploaded pictures: the bytes live content-addressed under DATA/images, the random file keys
// handed to the client map onto them in the database.
class ImageStore {
public:
    static constexpr size_t MaxBytes = 10 * 1024 * 1024;

    struct Image {
        std::string contentType;
        std::string bytes;
    };

    ImageStore(Database &db, std::string dataDir);

    // The content type for PNG, JPEG, GIF or BMP bytes whose header is sound; empty otherwise.
    static std::string sniff(const std::string &bytes);

    // Stores the bytes and returns the new file key; error holds the reason when it refuses.
    std::optional<std::string> store(const std::string &bytes, const std::string &usageType,
                                     std::string &error);
    std::optional<Image> load(const std::string &fileKey);

private:
    std::string pathFor(const std::string &sha256) const;

    Database &m_db;
    std::string m_dir;
};

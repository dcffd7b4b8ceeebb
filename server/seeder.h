#pragma once

#include "database.h"

#include <string>

// Fills a new data folder with the catalogues and the demo teachers.
class Seeder
{
public:
    static void seed(Database::Connection &connection);
    // Argon2id hash in libsodium's string form.
    static std::string hashPassword(const std::string &password);
};

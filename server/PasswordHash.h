#pragma once
// Passwords are kept only as Argon2id hashes in libsodium's string form ("$argon2id$v=19$...").

#include <string>
#include <string_view>

namespace velmora::server {

// A new hash of password with a random salt, at least libsodium's interactive limits.
std::string hashPassword(const std::string& password);
// True when password matches a hash made by hashPassword; false for anything else stored.
bool verifyPassword(const std::string& hash, const std::string& password);
// True when stored is a hash of this kind, not a password kept as it was typed.
bool isPasswordHash(std::string_view stored);

}  // namespace velmora::server

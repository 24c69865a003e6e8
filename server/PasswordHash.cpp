#include "server/PasswordHash.h"

#include <sodium.h>

#include <algorithm>
#include <semaphore>
#include <thread>

#include "transport/Errors.h"

namespace velmora::server {

namespace {

// Each hash takes crypto_pwhash_MEMLIMIT_INTERACTIVE (64 MiB) for a moment; a burst of logins
// waits its turn rather than taking the memory of every connection at once.
std::counting_semaphore<64>& hashingSlots() {
    static std::counting_semaphore<64> slots(
        static_cast<std::ptrdiff_t>(std::clamp(std::thread::hardware_concurrency(), 2u, 8u)));
    return slots;
}

class HashingSlot {
  public:
    HashingSlot() {
        static const bool ready = sodium_init() >= 0;
        if (!ready) throw VelmoraError("The password library cannot start");
        hashingSlots().acquire();
    }
    ~HashingSlot() { hashingSlots().release(); }
    HashingSlot(const HashingSlot&) = delete;
    HashingSlot& operator=(const HashingSlot&) = delete;
};

constexpr std::string_view kPrefix = "$argon2id$";

}  // namespace

std::string hashPassword(const std::string& password) {
    HashingSlot slot;
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                              crypto_pwhash_MEMLIMIT_INTERACTIVE, crypto_pwhash_ALG_ARGON2ID13) != 0)
        throw VelmoraError("Not enough memory to hash a password");
    return out;
}

bool verifyPassword(const std::string& hash, const std::string& password) {
    if (!isPasswordHash(hash)) return false;
    HashingSlot slot;
    return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

bool isPasswordHash(std::string_view stored) {
    return stored.substr(0, kPrefix.size()) == kPrefix && stored.size() < crypto_pwhash_STRBYTES;
}

}  // namespace velmora::server

#include "server/Sha256.h"

#include "transport/Errors.h"

namespace velmora::server {

Sha256::Sha256() : ctx_(EVP_MD_CTX_new(), EVP_MD_CTX_free) {
    // Fetched once and kept: a connection's thread may outlive the server's end.
    static EVP_MD* const sha256 = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    if (!sha256 || !ctx_ || !EVP_DigestInit_ex(ctx_.get(), sha256, nullptr))
        throw VelmoraError("SHA-256 is not available");
}

void Sha256::add(const void* data, size_t size) {
    EVP_DigestUpdate(ctx_.get(), data, size);
}

std::string Sha256::finish() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(ctx_.get(), digest, &length);
    return std::string(reinterpret_cast<const char*>(digest), length);
}

std::string hexOf(std::string_view bytes) {
    static const char* const kHex = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
    return out;
}

}  // namespace velmora::server

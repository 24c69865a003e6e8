#pragma once

#include <openssl/evp.h>

#include <memory>
#include <string>
#include <string_view>

namespace velmora::server {

// SHA-256 of a stream of bytes: the audit trail's chain, the backup file's seal and the copy's
// table digests. The digest's implementation is fetched once for the process, so that no thread's
// exit is needed to free it.
class Sha256 {
  public:
    Sha256();
    void add(const void* data, size_t size);
    void add(std::string_view text) { add(text.data(), text.size()); }
    // The digest so far, 32 raw bytes; the object must not be used afterwards.
    std::string finish();

  private:
    std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> ctx_;
};

// Bytes as lower-case hex pairs.
std::string hexOf(std::string_view bytes);

}  // namespace velmora::server

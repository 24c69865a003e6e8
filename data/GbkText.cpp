#include "data/GbkText.h"

#include <iconv.h>

#include <stdexcept>

namespace velmora {

namespace {

// Length of the UTF-8 sequence that starts with lead (1 for a stray byte).
size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 1;
}

class GbkConverter {
  public:
    GbkConverter() : cd_(iconv_open("GBK", "UTF-8")) {
        // iconv_open's failure value is (iconv_t)-1
        if (cd_ == reinterpret_cast<iconv_t>(-1))  // NOLINT(performance-no-int-to-ptr)
            throw std::runtime_error("GBK conversion is not available");
    }
    ~GbkConverter() { iconv_close(cd_); }
    GbkConverter(const GbkConverter&) = delete;
    GbkConverter& operator=(const GbkConverter&) = delete;

    // GBK bytes of one character.
    size_t bytesOf(std::string_view character) {
        if (character.size() == 1) return 1;
        char in[4];
        character.copy(in, character.size());
        char out[8];
        char* inPtr = in;
        size_t inLeft = character.size();
        char* outPtr = out;
        size_t outLeft = sizeof out;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) return 1;
        return sizeof out - outLeft;
    }

  private:
    iconv_t cd_;
};

template <typename Visit>
void eachCharacter(std::string_view utf8, Visit visit) {
    thread_local GbkConverter converter;
    for (size_t i = 0; i < utf8.size();) {
        size_t n = std::min(sequenceLength(static_cast<unsigned char>(utf8[i])), utf8.size() - i);
        if (!visit(i, n, converter.bytesOf(utf8.substr(i, n)))) return;
        i += n;
    }
}

}  // namespace

size_t gbkLength(std::string_view utf8) {
    size_t total = 0;
    eachCharacter(utf8, [&](size_t, size_t, size_t bytes) {
        total += bytes;
        return true;
    });
    return total;
}

std::string cutToGbkBytes(std::string_view utf8, size_t maxBytes) {
    size_t used = 0;
    size_t end = 0;
    eachCharacter(utf8, [&](size_t at, size_t n, size_t bytes) {
        if (used + bytes > maxBytes) return false;
        used += bytes;
        end = at + n;
        return true;
    });
    return std::string(utf8.substr(0, end));
}

}  // namespace velmora

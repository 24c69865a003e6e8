#include "transport/Utf16.h"

namespace velmora {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point from utf8 at i, advancing i; malformed sequences yield U+FFFD.
char32_t nextCodePoint(std::string_view s, size_t& i) {
    auto byte = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
    uint8_t lead = byte(i++);
    if (lead < 0x80) return lead;
    int extra;
    char32_t cp;
    char32_t min;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, cp = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, cp = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, cp = lead & 0x07, min = 0x10000;
    } else {
        return kReplacement;
    }
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size() || (byte(i) & 0xC0) != 0x80) return kReplacement;
        cp = (cp << 6) | (byte(i++) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return kReplacement;
    return cp;
}

template <typename Emit>
void forEachUtf16Unit(std::string_view utf8, Emit emit) {
    size_t i = 0;
    while (i < utf8.size()) {
        auto c = static_cast<uint8_t>(utf8[i]);
        if (c < 0x80) {  // the common case, kept tight
            emit(static_cast<char16_t>(c));
            ++i;
            continue;
        }
        char32_t cp = nextCodePoint(utf8, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            emit(static_cast<char16_t>(0xD800 + (cp >> 10)));
            emit(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            emit(static_cast<char16_t>(cp));
        }
    }
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

template <typename UnitAt>
std::string decodeUtf16(size_t units, UnitAt unitAt) {
    std::string out;
    out.reserve(units);
    for (size_t i = 0; i < units; ++i) {
        char32_t u = unitAt(i);
        if (u < 0x80) {
            out.push_back(static_cast<char>(u));
            continue;
        }
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            char32_t low = unitAt(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        appendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? kReplacement : u);
    }
    return out;
}

}  // namespace

size_t appendUtf16LE(Bytes& out, std::string_view utf8) {
    // UTF-16 never needs more units than UTF-8 has bytes, so one reservation suffices.
    size_t start = out.size();
    out.resize(start + utf8.size() * 2);
    uint8_t* p = out.data() + start;
    size_t units = 0;
    forEachUtf16Unit(utf8, [&](char16_t u) {
        p[units * 2] = static_cast<uint8_t>(u & 0xFF);
        p[units * 2 + 1] = static_cast<uint8_t>(u >> 8);
        ++units;
    });
    out.resize(start + units * 2);
    return units;
}

std::string utf16LEToUtf8(const uint8_t* data, size_t units) {
    return decodeUtf16(
        units, [data](size_t i) { return static_cast<char32_t>(data[i * 2] | (data[i * 2 + 1] << 8)); });
}

std::u16string utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    forEachUtf16Unit(utf8, [&](char16_t u) { out.push_back(u); });
    return out;
}

std::string utf16ToUtf8(std::u16string_view utf16) {
    return decodeUtf16(utf16.size(), [utf16](size_t i) { return static_cast<char32_t>(utf16[i]); });
}

}  // namespace velmora

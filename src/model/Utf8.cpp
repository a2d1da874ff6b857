#include "model/Utf8.h"

#include <cstring>

namespace nbr {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool isContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Length of a well-formed sequence starting at s[i] and its code point, or 0
// with `consumed` set to the length of the maximal ill-formed subpart.
std::size_t decodeOne(std::string_view s, std::size_t i, char32_t& cp, std::size_t& consumed) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    std::size_t len;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        cp = b0 & 0x0F;
        if (b0 == 0xE0) lo = 0xA0;        // no overlong forms
        else if (b0 == 0xED) hi = 0x9F;   // no surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07;
        if (b0 == 0xF0) lo = 0x90;        // no overlong forms
        else if (b0 == 0xF4) hi = 0x8F;   // nothing above U+10FFFF
    } else {
        consumed = 1;
        return 0;
    }
    for (std::size_t k = 1; k < len; ++k) {
        if (i + k >= s.size()) {
            consumed = k;
            return 0;
        }
        const auto b = static_cast<unsigned char>(s[i + k]);
        const bool ok = (k == 1) ? (b >= lo && b <= hi) : isContinuation(b);
        if (!ok) {
            consumed = k;
            return 0;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    return len;
}

}  // namespace

std::u16string utf8ToWide(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp = 0;
        std::size_t consumed = 0;
        const std::size_t len = decodeOne(utf8, i, cp, consumed);
        if (len == 0) {
            out.push_back(kReplacement);
            i += consumed;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

std::string wideToUtf8(std::u16string_view wide) {
    std::string out;
    out.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char32_t cp = wide[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (wide[++i] - 0xDC00);
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
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
    return out;
}

std::u16string utf16Cut(std::u16string_view text, std::size_t maxUnits) {
    if (text.size() <= maxUnits) return std::u16string(text);
    std::size_t n = maxUnits;
    // Cutting right after a high surrogate would leave half a pair.
    if (n > 0 && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
    return std::u16string(text.substr(0, n));
}

std::size_t utf8CutPoint(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text.size();
    // Walk the characters from the start (the same units the conversion
    // uses) and keep the last boundary that fits.
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t cp = 0;
        std::size_t consumed = 0;
        std::size_t len = decodeOne(text, i, cp, consumed);
        if (len == 0) len = consumed;
        if (i + len > maxBytes) break;
        i += len;
    }
    return i;
}

std::string utf8Cut(std::string_view text, std::size_t maxBytes) {
    return std::string(text.substr(0, utf8CutPoint(text, maxBytes)));
}

void utf8CopyToBuffer(char* dst, std::size_t dstSize, std::string_view text) {
    if (dst == nullptr || dstSize == 0) return;
    const std::size_t n = utf8CutPoint(text, dstSize - 1);
    std::memcpy(dst, text.data(), n);
    dst[n] = '\0';
}

}  // namespace nbr

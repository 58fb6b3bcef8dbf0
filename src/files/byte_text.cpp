#include "files/byte_text.h"

#include <cstdint>

namespace {

constexpr char16_t kFirstKeptByte = 0xDC80;  // byte 0x80
constexpr char16_t kLastKeptByte = 0xDCFF;   // byte 0xFF

// The length of the valid UTF-8 sequence at data[i], with its code point; 0
// when the bytes there are not one.
int ValidSequence(const unsigned char* data, qsizetype i, qsizetype n, uint32_t* codePoint) {
    const unsigned char c = data[i];
    int length = 0;
    uint32_t cp = 0;
    uint32_t smallest = 0;
    if ((c & 0xE0) == 0xC0) {
        length = 2;
        cp = c & 0x1F;
        smallest = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3;
        cp = c & 0x0F;
        smallest = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        length = 4;
        cp = c & 0x07;
        smallest = 0x10000;
    } else {
        return 0;
    }
    if (n - i < length) return 0;
    for (int k = 1; k < length; ++k) {
        const unsigned char b = data[i + k];
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    // Overlong forms, surrogates and values beyond U+10FFFF are not UTF-8.
    if (cp < smallest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    *codePoint = cp;
    return length;
}

}  // namespace

QString DecodeKeepingBytes(const char* data, qsizetype size) {
    // Every byte gives at most one UTF-16 unit (a four-byte sequence gives two).
    QString out(size, Qt::Uninitialized);
    char16_t* dst = reinterpret_cast<char16_t*>(out.data());
    char16_t* const begin = dst;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    qsizetype i = 0;
    while (i < size) {
        const unsigned char c = bytes[i];
        if (c < 0x80) {
            *dst++ = c;
            ++i;
            continue;
        }
        uint32_t cp = 0;
        const int length = ValidSequence(bytes, i, size, &cp);
        if (length == 0) {
            *dst++ = static_cast<char16_t>(0xDC00 + c);
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            *dst++ = static_cast<char16_t>(0xD800 + (cp >> 10));
            *dst++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            *dst++ = static_cast<char16_t>(cp);
        }
        i += length;
    }
    out.truncate(dst - begin);
    return out;
}

QByteArray EncodeKeepingBytes(QStringView text) {
    QByteArray out;
    out.reserve(text.size() * 3);
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = text[i].unicode();
        if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (u < 0x800) {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && text[i + 1].isLowSurrogate()) {
            const uint32_t cp = 0x10000 + ((uint32_t(u) - 0xD800) << 10) +
                                (uint32_t(text[i + 1].unicode()) - 0xDC00);
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
            ++i;
        } else if (u >= kFirstKeptByte && u <= kLastKeptByte) {
            out += static_cast<char>(u - 0xDC00);
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            out += "\xEF\xBF\xBD";
        } else {
            out += static_cast<char>(0xE0 | (u >> 12));
            out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return out;
}

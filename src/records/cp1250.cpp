#include "records/cp1250.h"

#include <algorithm>
#include <cstring>

namespace {

// Unicode of the bytes 0x80..0xFF. The five bytes the code page leaves undefined
// (0x81, 0x83, 0x88, 0x90, 0x98) map to the C1 control of the same value, so that
// any byte sequence decodes and encodes back unchanged.
constexpr char16_t kHighHalf[128] = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x0088, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,  // 0x98
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,  // 0xA0
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,  // 0xA8
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,  // 0xB0
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,  // 0xB8
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,  // 0xC0
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,  // 0xC8
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,  // 0xD0
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,  // 0xD8
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,  // 0xE0
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,  // 0xE8
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,  // 0xF0
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,  // 0xF8
};

char EncodeUnit(char32_t c) {
    if (c < 0x80) return static_cast<char>(c);
    for (int i = 0; i < 128; ++i) {
        if (kHighHalf[i] == c) return static_cast<char>(0x80 + i);
    }
    return '?';
}

}  // namespace

QString Cp1250ToUnicode(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        out.append(b < 0x80 ? QChar(b) : QChar(kHighHalf[b - 0x80]));
    }
    return out;
}

QByteArray UnicodeToCp1250(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            // Outside the basic plane: never in the code page, one '?' for the pair.
            out.append('?');
            ++i;
            continue;
        }
        out.append(c.isSurrogate() ? '?' : EncodeUnit(c.unicode()));
    }
    return out;
}

QString FixedFieldToUnicode(const char* field, int fieldSize) {
    const void* zero = std::memchr(field, 0, static_cast<size_t>(fieldSize));
    const int len = zero ? static_cast<int>(static_cast<const char*>(zero) - field) : fieldSize;
    return Cp1250ToUnicode(QByteArray(field, len));
}

QString FixedFieldTextUnpadded(const char* field, int fieldSize) {
    QString text = FixedFieldToUnicode(field, fieldSize);
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == QLatin1Char(' ')) --end;
    text.truncate(end);
    return text;
}

QByteArray PadToFieldLength(const QByteArray& cp1250, int length) {
    QByteArray out = cp1250.left(length);
    if (out.size() < length) out.append(QByteArray(length - out.size(), ' '));
    return out;
}

void SetFixedField(char* field, int length, const QString& text) {
    const QByteArray bytes = PadToFieldLength(UnicodeToCp1250(text), length);
    std::memcpy(field, bytes.constData(), static_cast<size_t>(length));
    field[length] = '\0';
}

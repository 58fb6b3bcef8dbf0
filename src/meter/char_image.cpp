#include "meter/char_image.h"

#include <cstdio>
#include <cstring>

#include "meter/meter_float.h"

namespace {

constexpr int kEnable = 0;
constexpr int kFlags = 3;
constexpr int kMethod = 4;
constexpr int kCode = 5;
constexpr int kName = 8;
constexpr int kPoints = 18;
constexpr int kActive = 138;
constexpr int kCertificate = 139;
constexpr int kCreateTime = 154;
constexpr int kSaveTime = 158;
constexpr int kCompens = 162;
constexpr int kDesc = 178;
constexpr int kChecksum = 255;

void PutFloat(CharImage& img, int at, double v) {
    const std::string hex = EncodeMeterFloat(v);
    for (int i = 0; i < 4; ++i) img[at + i] = static_cast<uint8_t>(MeterHexNumber(&hex[2 * i], 2));
}

double GetFloat(const CharImage& img, int at) {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%02X%02X%02X%02X", img[at], img[at + 1], img[at + 2],
                  img[at + 3]);
    return DecodeMeterFloat(hex);
}

void PutTime(CharImage& img, int at, int32_t t) {
    const uint32_t u = static_cast<uint32_t>(t);
    img[at] = static_cast<uint8_t>(u >> 24);
    img[at + 1] = static_cast<uint8_t>(u >> 16);
    img[at + 2] = static_cast<uint8_t>(u >> 8);
    img[at + 3] = static_cast<uint8_t>(u);
}

int32_t GetTime(const CharImage& img, int at) {
    const uint32_t u = (uint32_t(img[at]) << 24) | (uint32_t(img[at + 1]) << 16) |
                       (uint32_t(img[at + 2]) << 8) | uint32_t(img[at + 3]);
    return static_cast<int32_t>(u);
}

void PutText(CharImage& img, int at, const char* text, int len) {
    std::memcpy(&img[at], text, static_cast<size_t>(len));
}

void GetText(const CharImage& img, int at, char* text, int len) {
    std::memcpy(text, &img[at], static_cast<size_t>(len));
    text[len] = 0;
}

}  // namespace

CharImage EncodeCharImage(const CharRecData& rec) {
    CharImage img{};
    img[kEnable] = rec.ENABLE ? 0x58 : 0x00;
    img[kFlags] = static_cast<uint8_t>((rec.PASSWORD ? 1 : 0) | (rec.COMPENSATION ? 2 : 0));
    img[kMethod] = rec.METHOD == 1 ? 1 : 0;
    PutText(img, kCode, rec.CODE, CharRecData::kCodeLen);
    PutText(img, kName, rec.NAME, CharRecData::kNameLen);
    for (int i = 0; i < CharRecData::kPoints; ++i) {
        PutFloat(img, kPoints + 8 * i, rec.RH[i]);
        PutFloat(img, kPoints + 8 * i + 4, rec.VALUE[i]);
    }
    img[kActive] = rec.ACTIVE;
    PutText(img, kCertificate, rec.CERTIFICATE, CharRecData::kCertificateLen);
    PutTime(img, kCreateTime, rec.CREATE_TIME);
    PutTime(img, kSaveTime, rec.SAVE_TIME);
    for (int k = 0; k < CharRecData::kCoefficients; ++k)
        PutFloat(img, kCompens + 4 * k, rec.COMPENS[k]);
    PutText(img, kDesc, rec.DESC, CharRecData::kDescLen);
    unsigned sum = 0;
    for (int k = 0; k < kChecksum; ++k) sum += img[k];
    img[kChecksum] = static_cast<uint8_t>(0xFF - (sum & 0xFF));
    return img;
}

bool CharImageChecksumOk(const CharImage& image) {
    unsigned sum = 0;
    for (uint8_t b : image) sum += b;
    return (sum & 0xFF) == 0xFF;
}

void DecodeCharImage(const CharImage& img, CharRecData& rec) {
    rec.ENABLE = img[kEnable] == 0x58 ? 1 : 0;
    rec.PASSWORD = img[kFlags] & 1;
    rec.COMPENSATION = (img[kFlags] >> 1) & 1;
    const int method = img[kMethod] & 0x0F;
    rec.METHOD = static_cast<uint8_t>(method == 0 ? 0 : method == 1 ? 1 : 2);
    GetText(img, kCode, rec.CODE, CharRecData::kCodeLen);
    GetText(img, kName, rec.NAME, CharRecData::kNameLen);
    for (int i = 0; i < CharRecData::kPoints; ++i) {
        rec.RH[i] = GetFloat(img, kPoints + 8 * i);
        rec.VALUE[i] = GetFloat(img, kPoints + 8 * i + 4);
    }
    rec.ACTIVE = img[kActive];
    GetText(img, kCertificate, rec.CERTIFICATE, CharRecData::kCertificateLen);
    rec.CREATE_TIME = GetTime(img, kCreateTime);
    rec.SAVE_TIME = GetTime(img, kSaveTime);
    for (int k = 0; k < CharRecData::kCoefficients; ++k)
        rec.COMPENS[k] = GetFloat(img, kCompens + 4 * k);
    GetText(img, kDesc, rec.DESC, CharRecData::kDescLen);
    rec.valid = 1;
}

uint8_t CharImageExpectedChecksum(const CharImage& image) {
    unsigned sum = 0;
    for (int k = 0; k < kChecksum; ++k) sum += image[k];
    return static_cast<uint8_t>(0xFF - (sum & 0xFF));
}

bool CharImageErased(const CharImage& image) {
    for (uint8_t b : image) {
        if (b != 0xFF) return false;
    }
    return true;
}

void MakeErasedSlotRecord(CharRecData& rec, int32_t now) {
    const uint8_t slot = rec.REC_NUMBER;
    rec = CharRecData{};
    rec.REC_NUMBER = slot;
    rec.ACTIVE = 2;
    rec.CREATE_TIME = now;
    rec.SAVE_TIME = now;
    rec.valid = 1;
}

std::string CharImageToHex(const CharImage& image) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex(512, '0');
    for (int k = 0; k < 256; ++k) {
        hex[2 * k] = kDigits[image[k] >> 4];
        hex[2 * k + 1] = kDigits[image[k] & 0x0F];
    }
    return hex;
}

CharImage CharImageFromHex(const char* hex512) {
    CharImage img{};
    for (int k = 0; k < 256; ++k) img[k] = static_cast<uint8_t>(MeterHexNumber(hex512 + 2 * k, 2));
    return img;
}

std::string BuildCharDataLine(const CharRecData& rec) {
    return BuildCharDataLine(EncodeCharImage(rec));
}

std::string BuildCharDataLine(const CharImage& image) {
    CharImage sent = image;
    sent[255] = CharImageExpectedChecksum(sent);
    return CharImageToHex(sent) + "\r\n";
}

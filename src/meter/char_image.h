#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "records/char_rec_data.h"

// The 256-byte wire image of one characteristic, each byte travelling as two
// upper-case hex digits; byte 255 is the checksum (0xFF minus the sum of bytes
// 0..254, so that all 256 bytes add up to 0xFF).
using CharImage = std::array<uint8_t, 256>;

CharImage EncodeCharImage(const CharRecData& rec);

// True when the 256 bytes add up to 0xFF modulo 256.
bool CharImageChecksumOk(const CharImage& image);

// Decodes an image whose checksum is good into rec (REC_NUMBER untouched,
// valid = 1).
void DecodeCharImage(const CharImage& image, CharRecData& rec);

// The checksum byte 255 should hold: 0xFF minus the sum of bytes 0..254.
uint8_t CharImageExpectedChecksum(const CharImage& image);

// All 256 bytes 0xFF: what an erased slot of the meter answers. Its sum fails
// the checksum, yet it is the slot's real content, not a damaged transfer.
bool CharImageErased(const CharImage& image);

// The empty record an erased slot reads as: flags and numbers zero, ACTIVE 2,
// texts empty, both dates `now`, valid = 1 (REC_NUMBER untouched).
void MakeErasedSlotRecord(CharRecData& rec, int32_t now);

// The 512 hex digits of an image.
std::string CharImageToHex(const CharImage& image);
// 512 hex digits back to bytes (the meter's digit rules: anything but 0-9/A-F is 0).
CharImage CharImageFromHex(const char* hex512);

// The characteristic data line: 512 hex digits and CR LF (514 characters).
std::string BuildCharDataLine(const CharRecData& rec);
// The same for an image as it stands: bytes 0..254 as they are, byte 255 the
// checksum of those (what the meter checks).
std::string BuildCharDataLine(const CharImage& image);

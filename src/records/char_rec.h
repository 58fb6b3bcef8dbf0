#pragma once

#include <cstdint>

#include "records/binary_archive.h"
#include "records/char_rec_data.h"

// One characteristic as stored in a record file: VERSION, then the block's
// fields in declaration order (363 bytes in all).
class CCharRec {
public:
    static constexpr int32_t kVersion = 1;
    static constexpr int kFileSize = 363;

    CCharRec() = default;
    ~CCharRec() = default;

    void SetData(const CharRecData& data) { m_data = data; }
    CharRecData GetData() const { return m_data; }
    int32_t Version() const { return VERSION; }

    // Storing writes VERSION and every field. Loading reads VERSION and, only
    // when it is 1, every field (valid included, as stored); any other version
    // leaves the fields as they were except valid, which becomes 0.
    void Serialize(BinaryArchive& ar);

    // The 359 bytes of one block, shared with the record set file.
    static void StoreBlock(BinaryArchive& ar, const CharRecData& d);
    static void LoadBlock(BinaryArchive& ar, CharRecData& d);

private:
    int32_t VERSION = kVersion;
    CharRecData m_data;
};

// A table of characteristics as stored in a record set file: version, count,
// then `count` blocks of 359 bytes.
class CTableCharRec {
public:
    static constexpr int kSlots = 150;
    static constexpr int kBlockSize = 359;
    static constexpr int kHeaderSize = 8;

    CTableCharRec() = default;
    ~CTableCharRec() = default;

    // Ignored unless 0 <= index < 150; the count grows to index + 1.
    void Put(const CharRecData& data, int index);
    // A copy of slot `index`; outside 0..149 a copy of slot 0.
    CharRecData Get(int index) const;
    int Count() const { return m_count; }
    int Version() const { return m_version; }
    // True after a load that met a version other than 1.
    bool Error() const { return m_error; }

    // Loading first clears ENABLE and valid in all slots, then reads the version
    // (not 1: error flag, stop) and the count, and that many blocks (at most 150,
    // none for a negative count); the count becomes the number of blocks read.
    void Serialize(BinaryArchive& ar);

private:
    bool m_error = false;
    int32_t m_version = 1;
    int32_t m_count = 0;
    CharRecData m_slots[kSlots];
};

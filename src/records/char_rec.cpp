#include "records/char_rec.h"

void CCharRec::StoreBlock(BinaryArchive& ar, const CharRecData& d) {
    ar.WriteUInt8(d.REC_NUMBER);
    ar.WriteUInt8(d.ENABLE);
    ar.WriteUInt8(d.PASSWORD);
    ar.WriteUInt8(d.COMPENSATION);
    ar.WriteUInt8(d.METHOD);
    for (double v : d.RH) ar.WriteDouble(v);
    for (double v : d.VALUE) ar.WriteDouble(v);
    for (double v : d.COMPENS) ar.WriteDouble(v);
    ar.WriteUInt8(d.ACTIVE);
    ar.WriteBytes(d.CERTIFICATE, sizeof d.CERTIFICATE);
    ar.WriteInt32(d.CREATE_TIME);
    ar.WriteInt32(d.SAVE_TIME);
    ar.WriteBytes(d.DESC, sizeof d.DESC);
    ar.WriteBytes(d.CODE, sizeof d.CODE);
    ar.WriteBytes(d.NAME, sizeof d.NAME);
    ar.WriteUInt8(d.valid);
}

void CCharRec::LoadBlock(BinaryArchive& ar, CharRecData& d) {
    d.REC_NUMBER = ar.ReadUInt8();
    d.ENABLE = ar.ReadUInt8();
    d.PASSWORD = ar.ReadUInt8();
    d.COMPENSATION = ar.ReadUInt8();
    d.METHOD = ar.ReadUInt8();
    for (double& v : d.RH) v = ar.ReadDouble();
    for (double& v : d.VALUE) v = ar.ReadDouble();
    for (double& v : d.COMPENS) v = ar.ReadDouble();
    d.ACTIVE = ar.ReadUInt8();
    ar.ReadBytes(d.CERTIFICATE, sizeof d.CERTIFICATE);
    d.CREATE_TIME = ar.ReadInt32();
    d.SAVE_TIME = ar.ReadInt32();
    ar.ReadBytes(d.DESC, sizeof d.DESC);
    ar.ReadBytes(d.CODE, sizeof d.CODE);
    ar.ReadBytes(d.NAME, sizeof d.NAME);
    d.valid = ar.ReadUInt8();
}

void CCharRec::Serialize(BinaryArchive& ar) {
    if (ar.IsStoring()) {
        ar.WriteInt32(VERSION);
        StoreBlock(ar, data_);
        return;
    }
    VERSION = ar.ReadInt32();
    if (VERSION != kVersion) {
        data_.valid = 0;
        return;
    }
    LoadBlock(ar, data_);
}

void CTableCharRec::Put(const CharRecData& data, int index) {
    if (index < 0 || index >= kSlots) return;
    slots_[index] = data;
    if (index + 1 > count_) count_ = index + 1;
}

CharRecData CTableCharRec::Get(int index) const {
    if (index < 0 || index >= kSlots) return slots_[0];
    return slots_[index];
}

void CTableCharRec::Serialize(BinaryArchive& ar) {
    error_ = 0;
    if (ar.IsStoring()) {
        const int n = count_ < 0 ? 0 : (count_ > kSlots ? kSlots : count_);
        ar.WriteInt32(version_);
        ar.WriteInt32(n);
        for (int i = 0; i < n; ++i) CCharRec::StoreBlock(ar, slots_[i]);
        return;
    }
    for (CharRecData& s : slots_) {
        s.ENABLE = 0;
        s.valid = 0;
    }
    version_ = ar.ReadInt32();
    if (version_ != 1) {
        error_ = 1;
        return;
    }
    const int32_t announced = ar.ReadInt32();
    const int n = announced < 0 ? 0 : (announced > kSlots ? kSlots : announced);
    int read = 0;
    // A block cut short fails the archive; the count then covers only whole blocks.
    for (; read < n && ar.ok(); ++read) {
        CharRecData block = slots_[read];
        CCharRec::LoadBlock(ar, block);
        if (!ar.ok()) break;
        slots_[read] = block;
    }
    count_ = read;
}

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
        StoreBlock(ar, m_data);
        return;
    }
    VERSION = ar.ReadInt32();
    if (VERSION != kVersion) {
        m_data.valid = 0;
        return;
    }
    LoadBlock(ar, m_data);
}

void CTableCharRec::Put(const CharRecData& data, int index) {
    if (index < 0 || index >= kSlots) return;
    m_slots[index] = data;
    if (index + 1 > m_count) m_count = index + 1;
}

CharRecData CTableCharRec::Get(int index) const {
    if (index < 0 || index >= kSlots) return m_slots[0];
    return m_slots[index];
}

void CTableCharRec::Serialize(BinaryArchive& ar) {
    m_error = false;
    if (ar.IsStoring()) {
        const int n = m_count < 0 ? 0 : (m_count > kSlots ? kSlots : m_count);
        ar.WriteInt32(m_version);
        ar.WriteInt32(n);
        for (int i = 0; i < n; ++i) CCharRec::StoreBlock(ar, m_slots[i]);
        return;
    }
    for (CharRecData& s : m_slots) {
        s.ENABLE = 0;
        s.valid = 0;
    }
    m_version = ar.ReadInt32();
    if (m_version != 1) {
        m_error = true;
        return;
    }
    const int32_t announced = ar.ReadInt32();
    const int n = announced < 0 ? 0 : (announced > kSlots ? kSlots : announced);
    int read = 0;
    // A block cut short fails the archive; the count then covers only whole blocks.
    for (; read < n && ar.ok(); ++read) {
        CharRecData block = m_slots[read];
        CCharRec::LoadBlock(ar, block);
        if (!ar.ok()) break;
        m_slots[read] = block;
    }
    m_count = read;
}

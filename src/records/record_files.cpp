#include "records/record_files.h"

#include <QBuffer>

#include <memory>

namespace {

// Runs `store` on an archive over memory and returns the bytes.
template <typename Store>
QByteArray Stored(Store store) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    BinaryArchive ar(&buffer, BinaryArchive::Mode::Store);
    store(ar);
    ar.Close();
    return buffer.data();
}

}  // namespace

bool LoadCharRecFrom(QIODevice* device, CharRecData* out) {
    if (!device || !out) return false;
    CCharRec rec;
    BinaryArchive ar(device, BinaryArchive::Mode::Load);
    rec.Serialize(ar);
    if (!ar.Close()) return false;
    const CharRecData data = rec.GetData();
    if (rec.Version() != CCharRec::kVersion || data.valid != 1) return false;
    *out = data;
    return true;
}

bool LoadCharRecFile(const QString& path, CharRecData* out, FileError* error) {
    QByteArray bytes;
    if (!ReadFileBounded(path, kCharRecFileMax, &bytes, error, ReadLimit::FirstBytes)) return false;
    return LoadCharRecBytes(bytes, out);
}

bool LoadCharRecBytes(const QByteArray& bytes, CharRecData* out) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return LoadCharRecFrom(&buffer, out);
}

QByteArray CharRecToBytes(const CharRecData& data) {
    CCharRec rec;
    rec.SetData(data);
    return Stored([&rec](BinaryArchive& ar) { rec.Serialize(ar); });
}

bool SaveCharRecFile(const QString& path, const CharRecData& data, FileError* error) {
    return WriteFileAtomically(path, CharRecToBytes(data), error);
}

bool LoadCharRecSetFrom(QIODevice* device, CTableCharRec* out) {
    if (!device || !out) return false;
    // The set is large; keep it off the stack.
    auto set = std::make_unique<CTableCharRec>();
    BinaryArchive ar(device, BinaryArchive::Mode::Load);
    set->Serialize(ar);
    if (!ar.Close() || set->Error()) return false;
    *out = *set;
    return true;
}

bool LoadCharRecSetFile(const QString& path, CTableCharRec* out, FileError* error) {
    QByteArray bytes;
    if (!ReadFileBounded(path, kCharRecSetFileMax, &bytes, error, ReadLimit::FirstBytes))
        return false;
    return LoadCharRecSetBytes(bytes, out);
}

bool LoadCharRecSetBytes(const QByteArray& bytes, CTableCharRec* out) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return LoadCharRecSetFrom(&buffer, out);
}

QByteArray CharRecSetToBytes(const CTableCharRec& set) {
    // Serialize is not const (it resets the error flag); store from a copy.
    auto copy = std::make_unique<CTableCharRec>(set);
    return Stored([&copy](BinaryArchive& ar) { copy->Serialize(ar); });
}

bool SaveCharRecSetFile(const QString& path, const CTableCharRec& set, FileError* error) {
    return WriteFileAtomically(path, CharRecSetToBytes(set), error);
}

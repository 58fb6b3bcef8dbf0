#include "records/record_files.h"

#include <QBuffer>
#include <QFile>
#include <QSaveFile>

#include <memory>

namespace {

// Runs `store` on an archive over a temporary file next to `path` and renames it
// into place only when the archive and the file reported no error.
template <typename Store>
bool SaveAtomically(const QString& path, Store store) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    BinaryArchive ar(&file, BinaryArchive::Mode::Store);
    store(ar);
    if (!ar.Close()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
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

bool LoadCharRecFile(const QString& path, CharRecData* out) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    return LoadCharRecFrom(&file, out);
}

bool LoadCharRecBytes(const QByteArray& bytes, CharRecData* out) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return LoadCharRecFrom(&buffer, out);
}

bool SaveCharRecFile(const QString& path, const CharRecData& data) {
    CCharRec rec;
    rec.SetData(data);
    return SaveAtomically(path, [&rec](BinaryArchive& ar) { rec.Serialize(ar); });
}

QByteArray CharRecToBytes(const CharRecData& data) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    CCharRec rec;
    rec.SetData(data);
    BinaryArchive ar(&buffer, BinaryArchive::Mode::Store);
    rec.Serialize(ar);
    ar.Close();
    return buffer.data();
}

bool LoadCharRecSetFrom(QIODevice* device, CTableCharRec* out) {
    if (!device || !out) return false;
    // The set is large; keep it off the stack.
    auto set = std::make_unique<CTableCharRec>();
    BinaryArchive ar(device, BinaryArchive::Mode::Load);
    set->Serialize(ar);
    if (!ar.Close() || set->Error() != 0) return false;
    *out = *set;
    return true;
}

bool LoadCharRecSetFile(const QString& path, CTableCharRec* out) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    return LoadCharRecSetFrom(&file, out);
}

bool LoadCharRecSetBytes(const QByteArray& bytes, CTableCharRec* out) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return LoadCharRecSetFrom(&buffer, out);
}

bool SaveCharRecSetFile(const QString& path, const CTableCharRec& set) {
    return SaveAtomically(path, [&set](BinaryArchive& ar) {
        // Serialize is not const (it resets the error flag); store from a copy.
        auto copy = std::make_unique<CTableCharRec>(set);
        copy->Serialize(ar);
    });
}

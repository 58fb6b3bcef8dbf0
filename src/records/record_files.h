#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include "files/safe_file.h"
#include "records/char_rec.h"
#include "records/char_rec_data.h"

// Whole-file operations of the record (.kvr) and record set (.kvz) files. A load
// fills a fresh object and hands it over only when everything went right, so the
// caller never holds a half-read record or set. A save goes through
// WriteFileAtomically: the target is replaced only when every byte reached the
// disk, and a target that is not a regular file is refused.
//
// A load reads only a regular file (never waiting on a FIFO or a device), and
// no more of it than the format can use: the 363 bytes of a record, the 8 +
// 359 x 150 bytes of a set; what follows is ignored, as the formats say.
// `error`, when given, tells a file that could not be read (or written) from
// one whose contents are wrong (then it stays ok()).

// A record for import: the file opened, all 363 bytes were read, VERSION is 1
// and the stored valid is 1. `out` is untouched unless true is returned.
bool LoadCharRecFile(const QString& path, CharRecData* out, FileError* error = nullptr);
bool LoadCharRecFrom(QIODevice* device, CharRecData* out);
bool LoadCharRecBytes(const QByteArray& bytes, CharRecData* out);

// Stores `data` with VERSION 1; false when the file cannot be created or written.
bool SaveCharRecFile(const QString& path, const CharRecData& data, FileError* error = nullptr);

// A set for import: the version is 1 and every announced block (at most 150) was
// read whole. `out` is untouched unless true is returned.
bool LoadCharRecSetFile(const QString& path, CTableCharRec* out, FileError* error = nullptr);
bool LoadCharRecSetFrom(QIODevice* device, CTableCharRec* out);
bool LoadCharRecSetBytes(const QByteArray& bytes, CTableCharRec* out);

// Stores the set's `Count()` blocks; false when the file cannot be created or written.
bool SaveCharRecSetFile(const QString& path, const CTableCharRec& set, FileError* error = nullptr);

// The bytes a save writes.
QByteArray CharRecToBytes(const CharRecData& data);
QByteArray CharRecSetToBytes(const CTableCharRec& set);

// The most a loader reads of each file.
constexpr qint64 kCharRecFileMax = CCharRec::kFileSize;
constexpr qint64 kCharRecSetFileMax =
    CTableCharRec::kHeaderSize + qint64(CTableCharRec::kBlockSize) * CTableCharRec::kSlots;

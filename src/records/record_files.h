#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include "records/char_rec.h"
#include "records/char_rec_data.h"

// Whole-file operations of the record (.kvr) and record set (.kvz) files. A load
// fills a fresh object and hands it over only when everything went right, so the
// caller never holds a half-read record or set. A save goes to a temporary file
// that replaces the target only when every byte was written.

// A record for import: the file opened, all 363 bytes were read, VERSION is 1
// and the stored valid is 1. `out` is untouched unless true is returned.
bool LoadCharRecFile(const QString& path, CharRecData* out);
bool LoadCharRecFrom(QIODevice* device, CharRecData* out);
bool LoadCharRecBytes(const QByteArray& bytes, CharRecData* out);

// Stores `data` with VERSION 1; false when the file cannot be created or written.
bool SaveCharRecFile(const QString& path, const CharRecData& data);

// A set for import: the version is 1 and every announced block (at most 150) was
// read whole. `out` is untouched unless true is returned.
bool LoadCharRecSetFile(const QString& path, CTableCharRec* out);
bool LoadCharRecSetFrom(QIODevice* device, CTableCharRec* out);
bool LoadCharRecSetBytes(const QByteArray& bytes, CTableCharRec* out);

// Stores the set's `Count()` blocks; false when the file cannot be created or written.
bool SaveCharRecSetFile(const QString& path, const CTableCharRec& set);

// The bytes a save would write (for callers that keep a record in memory).
QByteArray CharRecToBytes(const CharRecData& data);

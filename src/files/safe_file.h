#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

// Every file the programs write goes through WriteFileAtomically, and every
// file they read through ReadFileBounded (the registration file, appended line
// by line, has its own path). Paths are file names as NativePath
// (files/byte_text.h) turns them into bytes.

// What went wrong with a file, for the message that reports it.
struct FileError {
    enum class Kind {
        None,
        Open,        // the input could not be opened or looked at (sysError)
        NotRegular,  // a device, FIFO, socket, folder, or a link to one or to nothing
        TooLarge,    // the input holds more than `limit` bytes
        Read,        // reading the input failed (sysError)
        Create,      // the folder cannot take the new file (sysError)
        Write,       // a write failed: a full disk, a size limit, an I/O error (sysError)
        Sync,        // the data could not be committed to the disk (sysError)
        Replace,     // the complete new file could not take the old one's place (sysError)
        Abandoned,   // given up before the replacement (a test's hook said so)
    };
    Kind kind = Kind::None;
    int sysError = 0;  // errno
    qint64 limit = 0;  // TooLarge: the largest size taken

    bool ok() const { return kind == Kind::None; }
    // What went wrong, in Polish, e.g. "brak miejsca na dysku".
    QString Reason() const;
};

// Polish text of an errno value met by a file operation.
QString SystemErrorText(int error);

// Writes `bytes` to `path` whole or not at all. The bytes go to a new file in
// the target's folder; every write, the sync to disk and the close are checked,
// and only then does the new file take the target's place (a link to a regular
// file keeps pointing at it, and an existing file's permissions carry over).
// On any failure the new file is removed and the old target stays byte for
// byte. A target that exists and is not a regular file (a device, a FIFO, a
// socket, a folder, a link to one of these or to nothing) is refused and left
// alone. `beforeReplace`, when given, runs just before the replacement; false
// from it abandons the write (tests use it to stand in for a crash).
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, FileError* error = nullptr,
                         const std::function<bool()>& beforeReplace = {});

// Whether WriteFileAtomically could put a file at `path`: the target is missing
// or a regular file, and its folder exists and takes new files. Commands check
// this before a long operation whose result goes there.
bool CheckOutputTarget(const QString& path, FileError* error = nullptr);

enum class ReadLimit {
    RefuseLarger,  // a file of more than maxBytes bytes is refused (TooLarge)
    FirstBytes,    // only the first maxBytes bytes are read; the rest is ignored
};

// Reads a regular file, never more than `maxBytes` bytes. Anything else (a FIFO,
// a device, a socket, a folder) is refused without waiting: the file is opened
// non-blocking and checked before a byte is read. `out` is set only on success.
bool ReadFileBounded(const QString& path, qint64 maxBytes, QByteArray* out,
                     FileError* error = nullptr, ReadLimit mode = ReadLimit::RefuseLarger);

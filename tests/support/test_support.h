#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <csignal>
#include <string>

namespace testsupport {

// Whole file as bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
// Writes bytes, replacing the file; false on failure.
bool WriteFileBytes(const std::string& path, const std::string& bytes);

// The same for Qt paths: the whole file (empty when it cannot be read); a
// replacing write that fails the test when it cannot be made; the file's lines
// without their CR LF or LF.
QByteArray ReadFileData(const QString& path);
void WriteFileData(const QString& path, const QByteArray& bytes);
QList<QByteArray> FileLines(const QString& path);
// Every name in a folder, hidden ones included and sorted: a temporary file
// left behind by a writer shows here.
QStringList FolderEntries(const QString& dir);

// A full disk for writes of this process: while it lives, no file may grow
// beyond `bytes` (RLIMIT_FSIZE), and a write that would is refused with EFBIG
// instead of the signal ending the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(off_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
    struct sigaction m_oldAction {};
};

// For a child process (QProcess::setChildProcessModifier): the same limit for
// the whole life of the child.
void LimitFileSizeOfThisProcess(off_t bytes);

// A real full disk: a tmpfs of `kilobytes` mounted on a fresh folder, taken
// down again at the end. Mounted() is false where the test may not mount one
// (not root, no mount rights): the test is then skipped.
class SmallTmpfs {
public:
    explicit SmallTmpfs(int kilobytes);
    ~SmallTmpfs();
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;

    bool Mounted() const { return m_mounted; }
    // Remounts it read-only (as a read-only medium is); false when it cannot.
    bool MakeReadOnly() const;
    std::string Path() const { return m_path; }
    // Fills what is left with one file, so that the next write meets ENOSPC.
    void Fill() const;

private:
    std::string m_path;
    bool m_mounted = false;
};

}  // namespace testsupport

#include "files/safe_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "files/byte_text.h"

namespace {

constexpr qsizetype kChunk = 1 << 20;
// A temporary name adds about 20 bytes to the target's; longer names are cut
// so that it stays within the usual 255-byte limit of one name.
constexpr qsizetype kTempBaseMax = 200;

void Set(FileError* e, FileError::Kind kind, int sysError = 0) {
    e->kind = kind;
    e->sysError = sysError;
}

struct Target {
    QByteArray path;    // the file to replace: a link's own target when given a link
    QByteArray folder;  // its folder
    QByteArray name;    // its name within the folder
    bool exists = false;
    struct stat st {};
};

void SplitFolder(Target* t) {
    const qsizetype slash = t->path.lastIndexOf('/');
    if (slash < 0) {
        t->folder = ".";
        t->name = t->path;
    } else {
        t->folder = slash == 0 ? QByteArray("/") : t->path.left(slash);
        t->name = t->path.mid(slash + 1);
    }
}

// Finds what `path` names: nothing yet, or a regular file (through a link).
bool ResolveTarget(const QString& path, Target* t, FileError* e) {
    if (path.isEmpty()) {
        Set(e, FileError::Kind::Create, ENOENT);
        return false;
    }
    t->path = NativePath(path);
    if (::lstat(t->path.constData(), &t->st) == 0) {
        if (S_ISLNK(t->st.st_mode)) {
            char* real = ::realpath(t->path.constData(), nullptr);
            if (!real) {
                // A link to nothing (or to something we may not look at) is not a file to replace.
                Set(e, FileError::Kind::NotRegular, errno);
                return false;
            }
            t->path = QByteArray(real);
            std::free(real);
            if (::stat(t->path.constData(), &t->st) != 0) {
                Set(e, FileError::Kind::Create, errno);
                return false;
            }
        }
        if (!S_ISREG(t->st.st_mode)) {
            Set(e, FileError::Kind::NotRegular);
            return false;
        }
        t->exists = true;
    } else if (errno != ENOENT) {
        Set(e, FileError::Kind::Create, errno);
        return false;
    }
    if (t->path.endsWith('/')) {
        Set(e, FileError::Kind::NotRegular, EISDIR);
        return false;
    }
    SplitFolder(t);
    return true;
}

bool FolderTakesFiles(const Target& t, FileError* e) {
    struct stat st {};
    if (::stat(t.folder.constData(), &st) != 0) {
        Set(e, FileError::Kind::Create, errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        Set(e, FileError::Kind::Create, ENOTDIR);
        return false;
    }
    if (::access(t.folder.constData(), W_OK) != 0) {
        Set(e, FileError::Kind::Create, errno);
        return false;
    }
    return true;
}

QByteArray TemporaryPrefix(const Target& t) {
    return "." + t.name.left(kTempBaseMax) + ".kv60x-";
}

// A writer holds a lock on its temporary file until it has taken the target's
// place. One whose lock can be had was left by a writer that died (killed, a
// power cut): it is removed, so that such files do not pile up beside the
// target.
void RemoveStaleTemporaries(const Target& t) {
    const QByteArray prefix = TemporaryPrefix(t);
    DIR* dir = ::opendir(t.folder.constData());
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (!name.startsWith(prefix)) continue;
        const QByteArray path = t.folder + '/' + name;
        const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ::unlink(path.constData());
        }
        ::close(fd);
    }
    ::closedir(dir);
}

// Creates a new, empty file beside the target, locked for as long as `fd` or
// a copy of it is open; -1 with the reason set.
int CreateTemporary(const Target& t, QByteArray* tempPath, FileError* e) {
    const QByteArray base = TemporaryPrefix(t);
    for (int attempt = 0; attempt < 64; ++attempt) {
        const QByteArray suffix =
            QByteArray::number(QRandomGenerator::global()->generate64() & 0xFFFFFFFFFFull, 36);
        *tempPath = t.folder + '/' + base + suffix;
        // A new file gets 0666 less the umask like any other; an existing
        // file's permissions are put on it below.
        const int fd =
            ::open(tempPath->constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                   t.exists ? 0600 : 0666);
        if (fd >= 0) {
            // Locked before anyone could take it for a dead writer's file;
            // should another writer's clean-up have removed the name in that
            // instant, a new one is made.
            struct stat mine {
            }, named{};
            if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &mine) == 0 &&
                ::stat(tempPath->constData(), &named) == 0 && mine.st_ino == named.st_ino &&
                mine.st_dev == named.st_dev) {
                return fd;
            }
            ::close(fd);
            continue;
        }
        if (errno == EINTR || errno == EEXIST) continue;
        Set(e, FileError::Kind::Create, errno);
        return -1;
    }
    Set(e, FileError::Kind::Create, EEXIST);
    return -1;
}

bool WriteWhole(int fd, const QByteArray& bytes, FileError* e) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const size_t want = static_cast<size_t>(std::min(bytes.size() - done, kChunk));
        const ssize_t n = ::write(fd, bytes.constData() + done, want);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // A write that takes nothing without an error is a full disk too.
            Set(e, FileError::Kind::Write, n < 0 ? errno : ENOSPC);
            return false;
        }
        done += n;
    }
    return true;
}

// The new name in the folder goes to the disk as well. The file is in place
// whatever this says, so a failure here is not reported.
void SyncFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    [[maybe_unused]] const int r = ::fsync(fd);
    ::close(fd);
}

}  // namespace

QString SystemErrorText(int error) {
    switch (error) {
        case ENOENT:
            return QStringLiteral("nie ma takiego pliku ani folderu");
        case EACCES:
        case EPERM:
            return QStringLiteral("brak uprawnień");
        case ENOSPC:
            return QStringLiteral("brak miejsca na dysku");
        case EDQUOT:
            return QStringLiteral("przekroczony przydział miejsca na dysku");
        case EFBIG:
            return QStringLiteral("przekroczony dopuszczalny rozmiar pliku");
        case EROFS:
            return QStringLiteral("system plików tylko do odczytu");
        case EISDIR:
            return QStringLiteral("to jest folder");
        case ENOTDIR:
            return QStringLiteral("część ścieżki nie jest folderem");
        case ENAMETOOLONG:
            return QStringLiteral("za długa nazwa");
        case ELOOP:
            return QStringLiteral("za dużo dowiązań symbolicznych");
        case EIO:
            return QStringLiteral("błąd wejścia/wyjścia");
        case EPIPE:
            return QStringLiteral("odbiorca zamknął potok");
        case EBADF:
            return QStringLiteral("plik nie jest otwarty");
        case EBUSY:
        case ETXTBSY:
            return QStringLiteral("plik jest zajęty");
        default:
            return QStringLiteral("błąd systemu nr %1").arg(error);
    }
}

QString FileError::Reason() const {
    switch (kind) {
        case Kind::None:
            return QString();
        case Kind::NotRegular:
            return QStringLiteral("to nie jest zwykły plik");
        case Kind::TooLarge:
            return QStringLiteral("plik większy niż %1 bajtów").arg(limit);
        case Kind::Abandoned:
            return QStringLiteral("zapis przerwany");
        default:
            return SystemErrorText(sysError);
    }
}

bool CheckOutputTarget(const QString& path, FileError* error) {
    FileError local;
    FileError* e = error ? error : &local;
    *e = FileError{};
    Target t;
    return ResolveTarget(path, &t, e) && FolderTakesFiles(t, e);
}

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, FileError* error,
                         const std::function<bool()>& beforeReplace) {
    FileError local;
    FileError* e = error ? error : &local;
    *e = FileError{};
    Target t;
    if (!ResolveTarget(path, &t, e)) return false;
    RemoveStaleTemporaries(t);
    QByteArray temp;
    int fd = CreateTemporary(t, &temp, e);
    if (fd < 0) return false;
    // Holds the lock until the new file has taken the target's place.
    const int lock = ::dup(fd);

    bool ok = true;
    if (t.exists) {
        // The owner and permissions stay the file's own; where the system does
        // not allow that (another user's file), the new file keeps ours.
        [[maybe_unused]] const int owner = ::fchown(fd, t.st.st_uid, t.st.st_gid);
        [[maybe_unused]] const int mode = ::fchmod(fd, t.st.st_mode & 07777);
    }
    if (!WriteWhole(fd, bytes, e)) {
        ok = false;
    } else if (::fsync(fd) != 0) {
        Set(e, FileError::Kind::Sync, errno);
        ok = false;
    }
    const int closed = ::close(fd);
    fd = -1;
    if (ok && closed != 0 && errno != EINTR) {
        Set(e, FileError::Kind::Sync, errno);
        ok = false;
    }
    if (ok && beforeReplace && !beforeReplace()) {
        Set(e, FileError::Kind::Abandoned);
        ok = false;
    }
    if (ok) {
        // The target may have changed while we wrote: never put a file in
        // place of something that is not one.
        struct stat now {};
        if (::lstat(t.path.constData(), &now) == 0 && !S_ISREG(now.st_mode)) {
            Set(e, FileError::Kind::NotRegular);
            ok = false;
        } else if (::rename(temp.constData(), t.path.constData()) != 0) {
            Set(e, FileError::Kind::Replace, errno);
            ok = false;
        }
    }
    if (!ok) ::unlink(temp.constData());
    if (lock >= 0) ::close(lock);
    if (!ok) return false;
    SyncFolder(t.folder);
    return true;
}

bool ReadFileBounded(const QString& path, qint64 maxBytes, QByteArray* out, FileError* error,
                     ReadLimit mode) {
    FileError local;
    FileError* e = error ? error : &local;
    *e = FileError{};
    if (path.isEmpty()) {
        Set(e, FileError::Kind::Open, ENOENT);
        return false;
    }
    const QByteArray native = NativePath(path);
    // Looked at before it is opened: opening a device may do something by itself.
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) {
        Set(e, FileError::Kind::Open, errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        Set(e, FileError::Kind::NotRegular);
        return false;
    }
    // Non-blocking: a FIFO put there in the meantime does not wait for a writer.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        Set(e, FileError::Kind::Open, errno);
        return false;
    }
    bool ok = true;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        Set(e, FileError::Kind::NotRegular);
        ok = false;
    } else if (mode == ReadLimit::RefuseLarger && st.st_size > maxBytes) {
        Set(e, FileError::Kind::TooLarge);
        e->limit = maxBytes;
        ok = false;
    }
    QByteArray bytes;
    if (ok) {
        // One byte more than allowed tells a file that grew (or reports no size).
        const qint64 want = mode == ReadLimit::RefuseLarger ? maxBytes + 1 : maxBytes;
        bytes.reserve(
            static_cast<qsizetype>(std::min<qint64>(want, std::max<qint64>(st.st_size, 0) + 1)));
        qint64 got = 0;
        char chunk[65536];
        while (got < want) {
            const ssize_t n =
                ::read(fd, chunk, static_cast<size_t>(std::min<qint64>(sizeof chunk, want - got)));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                Set(e, FileError::Kind::Read, errno);
                ok = false;
                break;
            }
            if (n == 0) break;
            bytes.append(chunk, n);
            got += n;
        }
        if (ok && got > maxBytes) {
            Set(e, FileError::Kind::TooLarge);
            e->limit = maxBytes;
            ok = false;
        }
    }
    ::close(fd);
    if (ok) *out = bytes;
    return ok;
}

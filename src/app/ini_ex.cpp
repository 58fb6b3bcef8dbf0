#include "app/ini_ex.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "files/byte_text.h"

CIniEx::CIniEx() {
    Clear();
}

CIniEx::~CIniEx() {
    if (m_writeBack) Write();
}

void CIniEx::Clear() {
    m_sections.clear();
    m_sections.push_back(Section{});
    m_sectionByName.clear();
    m_sectionByName.insert(QString(), 0);
    m_changed = false;
}

// The form under which a name is looked up: each code point case-folded (as
// QString::compare does without regard to case), or the name itself.
QString CIniEx::Fold(const QString& name) const {
    if (!m_caseInsensitive) return name;
    const qsizetype n = name.size();
    const QChar* const chars = name.constData();
    bool ascii = true;
    for (qsizetype i = 0; i < n && ascii; ++i) ascii = chars[i].unicode() < 0x80;
    if (ascii) {
        QString folded = name;
        for (QChar& c : folded) {
            if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) c = QChar(c.unicode() + 32);
        }
        return folded;
    }
    QString folded;
    folded.reserve(n);
    for (qsizetype i = 0; i < n; ++i) {
        char32_t cp = name.at(i).unicode();
        if (QChar::isHighSurrogate(cp) && i + 1 < n && name.at(i + 1).isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(name.at(i), name.at(i + 1));
            ++i;
        }
        const char32_t f = QChar::toCaseFolded(cp);
        if (QChar::requiresSurrogates(f)) {
            folded += QChar(QChar::highSurrogate(f));
            folded += QChar(QChar::lowSurrogate(f));
        } else {
            folded += QChar(static_cast<char16_t>(f));
        }
    }
    return folded;
}

bool CIniEx::Same(const QString& a, const QString& b) const {
    return a.compare(b, m_caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0;
}

int CIniEx::FindSection(const QString& name) const {
    return m_sectionByName.value(Fold(name), -1);
}

int CIniEx::FindKey(const Section& s, const QString& key) const {
    if (!s.keysIndexed) IndexKeys(s);
    return s.lastKey.value(Fold(key), -1);
}

void CIniEx::IndexSections() {
    m_sectionByName.clear();
    for (size_t i = 0; i < m_sections.size(); ++i) {
        if (!m_sections[i].findable) continue;
        // The first section of a name is the one found.
        const QString name = Fold(m_sections[i].name);
        if (!m_sectionByName.contains(name)) m_sectionByName.insert(name, static_cast<int>(i));
    }
}

void CIniEx::IndexKeys(const Section& s) const {
    s.lastKey.clear();
    for (size_t i = 0; i < s.entries.size(); ++i)
        s.lastKey.insert(Fold(s.entries[i].key), static_cast<int>(i));
    s.keysIndexed = true;
}

void CIniEx::AddEntry(Section& s, Entry entry) const {
    if (s.keysIndexed) s.lastKey.insert(Fold(entry.key), static_cast<int>(s.entries.size()));
    s.entries.push_back(std::move(entry));
}

CIniEx::OpenResult CIniEx::Open(const QString& path, bool writeBack, bool create,
                                bool caseInsensitive) {
    if (!m_path.isEmpty()) {
        Write();
        m_path.clear();
    }
    m_writeBack = writeBack;
    m_create = create;
    m_caseInsensitive = caseInsensitive;
    m_readOnly = false;
    Clear();

    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (path.isEmpty()) return OpenResult::Failed;
    const QByteArray native = NativePath(absolute);
    struct stat st {};
    m_readOnlyError = FileError{};
    if (::stat(native.constData(), &st) == 0) {
        // Never a FIFO, which would block the start, nor a device.
        if (!S_ISREG(st.st_mode)) return OpenResult::Failed;
        // A file marked read-only is left alone even where the system would
        // let us write it (as root); so is one in a folder that takes no new
        // files, since the rewrite puts a new file in its place.
        if (!(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) {
            m_readOnlyError = FileError{FileError::Kind::Open, EACCES};
        } else if (::access(native.constData(), W_OK) != 0) {
            m_readOnlyError = FileError{FileError::Kind::Open, errno};
        } else {
            CheckOutputTarget(absolute, &m_readOnlyError);
        }
    } else {
        if (errno != ENOENT || !create || !CheckOutputTarget(absolute)) return OpenResult::Failed;
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) return OpenResult::Failed;
        ::close(fd);
    }
    QByteArray bytes;
    FileError error;
    if (!ReadFileBounded(absolute, kMaxFileBytes, &bytes, &error)) {
        return error.kind == FileError::Kind::TooLarge ? OpenResult::TooLarge : OpenResult::Failed;
    }
    Parse(bytes);
    m_path = absolute;
    m_readOnly = !m_readOnlyError.ok();
    return m_readOnly ? OpenResult::ReadOnly : OpenResult::Opened;
}

void CIniEx::Parse(const QByteArray& bytes) {
    Clear();
    size_t current = 0;
    const char* const data = bytes.constData();
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    while (start < n) {
        qsizetype end = bytes.indexOf('\n', start);
        const bool lf = end >= 0;
        if (!lf) end = n;
        qsizetype len = end - start;
        if (lf && len > 0 && data[end - 1] == '\r') --len;
        const char* line = data + start;
        start = end + 1;

        if (len >= 2 && line[0] == '[' && line[len - 1] == ']') {
            Section s;
            s.name = DecodeKeepingBytes(line + 1, len - 2);
            s.header = true;
            m_sections.push_back(std::move(s));
            current = m_sections.size() - 1;
            continue;
        }
        // "=" is one byte in UTF-8 and never part of a longer sequence.
        const char* eq = static_cast<const char*>(std::memchr(line, '=', static_cast<size_t>(len)));
        Entry e;
        if (eq) {
            const qsizetype k = eq - line;
            e.key = DecodeKeepingBytes(line, k);
            e.value = DecodeKeepingBytes(eq + 1, len - k - 1);
        } else {
            e.key = DecodeKeepingBytes(line, len);
            e.equals = false;
        }
        AddEntry(m_sections[current], std::move(e));
    }
    // A header without entries is written back as it was but never found: a
    // later section of the same name is the one the program reads and sets.
    for (size_t i = 1; i < m_sections.size(); ++i) {
        if (m_sections[i].entries.empty()) m_sections[i].findable = false;
    }
    IndexSections();
}

QByteArray CIniEx::ToBytes() const {
    QByteArray out;
    for (const Section& s : m_sections) {
        if (s.header) out += '[' + EncodeKeepingBytes(s.name) + "]\r\n";
        for (const Entry& e : s.entries) {
            out += EncodeKeepingBytes(e.key);
            if (e.equals) out += '=';
            out += EncodeKeepingBytes(e.value);
            out += "\r\n";
        }
    }
    return out;
}

QString CIniEx::GetValue(const QString& section, const QString& key, const QString& def) const {
    const int si = FindSection(section);
    if (si < 0) return def;
    const int ki = FindKey(m_sections[si], key);
    if (ki < 0) return def;
    QString v = m_sections[si].entries[static_cast<size_t>(ki)].value;
    const qsizetype semi = v.lastIndexOf(QLatin1Char(';'));
    if (semi >= 0) v.truncate(semi);
    return v;
}

long long IniAtoi64(const QString& text) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto blank = [](QChar c) {
        const char16_t u = c.unicode();
        return u == ' ' || (u >= '\t' && u <= '\r');
    };
    while (i < n && blank(text.at(i))) ++i;
    bool negative = false;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    long long acc = 0;  // kept negative so that LLONG_MIN fits
    for (; i < n && text.at(i).unicode() >= '0' && text.at(i).unicode() <= '9'; ++i) {
        const int d = text.at(i).unicode() - '0';
        if (acc < (LLONG_MIN + d) / 10) return negative ? LLONG_MIN : LLONG_MAX;
        acc = acc * 10 - d;
    }
    if (negative) return acc;
    return acc == LLONG_MIN ? LLONG_MAX : -acc;
}

int CIniEx::GetValueInt(const QString& section, const QString& key, int def) const {
    const long long v = IniAtoi64(GetValue(section, key, QString::number(def)));
    return v > INT_MAX ? INT_MAX : (v < INT_MIN ? INT_MIN : static_cast<int>(v));
}

uint32_t CIniEx::GetValueUInt(const QString& section, const QString& key, uint32_t def) const {
    long long v = IniAtoi64(GetValue(section, key, QString::number(def)));
    // Negative text wraps like the platform's 32-bit conversion; larger values clamp.
    if (v > static_cast<long long>(UINT32_MAX)) v = UINT32_MAX;
    if (v < INT32_MIN) v = INT32_MIN;
    return static_cast<uint32_t>(v);
}

void CIniEx::SetValue(const QString& section, const QString& key, const QString& given) {
    // Reading takes everything from the last ";" on as a comment: a value that
    // holds one gets an empty comment after it, so that it reads back whole.
    const QString value = given.contains(QLatin1Char(';')) ? given + QLatin1Char(';') : given;
    int si = FindSection(section);
    if (si < 0) {
        Section created;
        created.name = section;
        created.header = true;
        m_sections.push_back(std::move(created));
        si = static_cast<int>(m_sections.size() - 1);
        m_sectionByName.insert(Fold(section), si);
        m_changed = true;
    }
    Section& s = m_sections[static_cast<size_t>(si)];
    const int ki = FindKey(s, key);
    if (ki < 0) {
        AddEntry(s, Entry{key, value, true});
        m_changed = true;
        return;
    }
    Entry& e = s.entries[static_cast<size_t>(ki)];
    if (!Same(e.value, value) || !e.equals) m_changed = true;
    e.value = value;
    e.equals = true;
}

void CIniEx::SetValueInt(const QString& section, const QString& key, int value) {
    SetValue(section, key, QString::number(value));
}

void CIniEx::SetValueUInt(const QString& section, const QString& key, uint32_t value) {
    SetValue(section, key, QString::number(value));
}

bool CIniEx::RemoveKey(const QString& section, const QString& key) {
    const int si = FindSection(section);
    if (si < 0) return false;
    Section& s = m_sections[static_cast<size_t>(si)];
    const int ki = FindKey(s, key);
    if (ki < 0) return false;
    s.entries.erase(s.entries.begin() + ki);
    IndexKeys(s);
    m_changed = true;
    return true;
}

bool CIniEx::RemoveSection(const QString& section) {
    const int si = FindSection(section);
    if (si < 0) return false;
    if (si == 0) {
        // The unnamed section stays; it only loses its entries.
        if (m_sections[0].entries.empty()) return false;
        m_sections[0].entries.clear();
        m_sections[0].lastKey.clear();
        m_sections[0].keysIndexed = false;
    } else {
        m_sections.erase(m_sections.begin() + si);
        IndexSections();
    }
    m_changed = true;
    return true;
}

QStringList CIniEx::GetKeys(const QString& section) const {
    const int si = FindSection(section);
    QStringList keys;
    if (si < 0) return keys;
    for (const Entry& e : m_sections[static_cast<size_t>(si)].entries) keys.append(e.key);
    return keys;
}

QStringList CIniEx::GetSections() const {
    QStringList names;
    for (const Section& s : m_sections) {
        if (s.findable && !s.name.isEmpty()) names.append(s.name);
    }
    return names;
}

bool CIniEx::Write() {
    m_lastWriteError = FileError{};
    if (!m_changed || m_path.isEmpty()) return true;
    if (m_readOnly) {
        m_lastWriteError = m_readOnlyError;
        return false;
    }
    const CommitHook hook = m_commitHook;
    std::function<bool()> beforeReplace;
    if (hook) beforeReplace = [hook] { return hook(); };
    if (!WriteFileAtomically(m_path, ToBytes(), &m_lastWriteError, beforeReplace)) return false;
    m_changed = false;
    return true;
}

QString ResolveConfigPath(const QStringList& arguments, const QString& programDir,
                          const QString& userConfigDir) {
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (a == QLatin1String("--config") && i + 1 < arguments.size())
            return QFileInfo(arguments.at(i + 1)).absoluteFilePath();
        if (a.startsWith(QLatin1String("--config=")) && a.size() > 9)
            return QFileInfo(a.mid(9)).absoluteFilePath();
    }
    const QString name = QStringLiteral("kv60x.ini");
    const QString beside = QDir(programDir).filePath(name);
    if (!programDir.isEmpty() && (QFileInfo::exists(beside) || QFileInfo(programDir).isWritable()))
        return beside;
    QDir().mkpath(userConfigDir);
    return QDir(userConfigDir).filePath(name);
}

QString ResolveConfigPath(const QStringList& arguments) {
    return ResolveConfigPath(arguments, QCoreApplication::applicationDirPath(),
                             QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

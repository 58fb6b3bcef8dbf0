#include "app/ini_ex.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <climits>

CIniEx::CIniEx(int growStep) : m_growStep(growStep > 0 ? growStep : 4) {
    Clear();
}

CIniEx::~CIniEx() {
    if (m_writeBack) Write();
}

void CIniEx::Clear() {
    m_sections.clear();
    m_sections.reserve(static_cast<size_t>(m_growStep));
    m_sections.push_back(Section{});
    m_changed = false;
}

bool CIniEx::Same(const QString& a, const QString& b) const {
    return a.compare(b, m_caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0;
}

int CIniEx::FindSection(const QString& name) const {
    for (size_t i = 0; i < m_sections.size(); ++i) {
        if (Same(m_sections[i].name, name)) return static_cast<int>(i);
    }
    return -1;
}

int CIniEx::FindKey(const Section& s, const QString& key) const {
    for (qsizetype i = s.keys.size() - 1; i >= 0; --i) {
        if (Same(s.keys.at(i), key)) return static_cast<int>(i);
    }
    return -1;
}

int CIniEx::Open(const QString& path, bool writeBack, bool create, bool caseInsensitive) {
    if (!m_path.isEmpty()) {
        Write();
        m_path.clear();
    }
    Clear();
    m_writeBack = writeBack;
    m_create = create;
    m_caseInsensitive = caseInsensitive;

    const QFileInfo info(path);
    if (info.isDir()) return 0;
    // The rewrite puts a new file in place of the old one, so the folder must
    // take new files, and a file marked read-only is left alone even where the
    // system would let us write it (e.g. as root).
    if (!QFileInfo(info.absolutePath()).isWritable()) return 0;
    if (info.exists()) {
        const auto anyWrite =
            QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
        if (!(info.permissions() & anyWrite)) return 0;
    } else if (!create) {
        return 0;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) return 0;
    // A read error keeps what was read so far.
    Parse(file.readAll());
    file.close();
    m_path = info.absoluteFilePath();
    return 1;
}

void CIniEx::Parse(const QByteArray& bytes) {
    Clear();
    Section* current = &m_sections[0];
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    while (start < n) {
        qsizetype end = bytes.indexOf('\n', start);
        const bool lf = end >= 0;
        if (!lf) end = n;
        qsizetype len = end - start;
        if (lf && len > 0 && bytes.at(end - 1) == '\r') --len;
        const QString line = QString::fromUtf8(bytes.constData() + start, len);
        start = end + 1;

        if (line.size() >= 2 && line.front() == QLatin1Char('[') &&
            line.back() == QLatin1Char(']')) {
            if (m_sections.size() == m_sections.capacity())
                m_sections.reserve(m_sections.size() + static_cast<size_t>(m_growStep));
            m_sections.push_back(Section{line.mid(1, line.size() - 2), {}, {}});
            current = &m_sections.back();
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        current->keys.append(eq < 0 ? line : line.left(eq));
        current->values.append(eq < 0 ? QString() : line.mid(eq + 1));
    }
    // A header without entries does not keep its name (and is not written back).
    for (size_t i = 1; i < m_sections.size(); ++i) {
        if (m_sections[i].keys.isEmpty()) m_sections[i].name.clear();
    }
}

QByteArray CIniEx::ToBytes() const {
    QByteArray out;
    for (size_t si = 0; si < m_sections.size(); ++si) {
        const Section& s = m_sections[si];
        // A "[]" section with entries keeps its header: without it the entries
        // would join the section above when the file is read again.
        if (!s.name.isEmpty() || (si > 0 && !s.keys.isEmpty()))
            out += '[' + s.name.toUtf8() + "]\r\n";
        for (qsizetype i = 0; i < s.keys.size(); ++i) {
            // An empty line stays empty. A line "=value" keeps its "=": written
            // as a bare "value" it would read back as a key, or as a header.
            out += s.keys.at(i).toUtf8();
            if (!s.keys.at(i).isEmpty() || !s.values.at(i).isEmpty()) out += '=';
            out += s.values.at(i).toUtf8();
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
    QString v = m_sections[si].values.at(ki);
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

void CIniEx::SetValue(const QString& section, const QString& key, const QString& value) {
    int si = FindSection(section);
    if (si < 0) {
        if (m_sections.size() == m_sections.capacity())
            m_sections.reserve(m_sections.size() + static_cast<size_t>(m_growStep));
        m_sections.push_back(Section{section, {}, {}});
        si = static_cast<int>(m_sections.size() - 1);
        m_changed = true;
    }
    Section& s = m_sections[si];
    const int ki = FindKey(s, key);
    if (ki < 0) {
        s.keys.append(key);
        s.values.append(value);
        m_changed = true;
        return;
    }
    if (!Same(s.values.at(ki), value)) m_changed = true;
    s.values[ki] = value;
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
    Section& s = m_sections[si];
    const int ki = FindKey(s, key);
    if (ki < 0) return false;
    s.keys.removeAt(ki);
    s.values.removeAt(ki);
    m_changed = true;
    return true;
}

bool CIniEx::RemoveSection(const QString& section) {
    const int si = FindSection(section);
    if (si < 0) return false;
    if (si == 0) {
        // The unnamed section stays; it only loses its entries.
        if (m_sections[0].keys.isEmpty()) return false;
        m_sections[0].keys.clear();
        m_sections[0].values.clear();
    } else {
        m_sections.erase(m_sections.begin() + si);
    }
    m_changed = true;
    return true;
}

QStringList CIniEx::GetKeys(const QString& section) const {
    const int si = FindSection(section);
    return si < 0 ? QStringList() : m_sections[si].keys;
}

QStringList CIniEx::GetSections() const {
    QStringList names;
    for (const Section& s : m_sections) {
        if (!s.name.isEmpty()) names.append(s.name);
    }
    return names;
}

bool CIniEx::Write() {
    if (!m_changed || m_path.isEmpty()) return true;
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const QByteArray bytes = ToBytes();
    if (file.write(bytes) != bytes.size() || (m_commitHook && !m_commitHook())) {
        file.cancelWriting();  // the temporary file goes, the old file stays
        return false;
    }
    if (!file.commit()) return false;
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

#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

#include "files/safe_file.h"

// The program's INI file, held whole in memory. Lines are split at their first
// "=" with nothing trimmed; names compare without regard to case (an option);
// the last of two equal keys in a section counts; on reading a value everything
// from its last ";" on is a comment, so a value that holds a ";" is written
// with a ";" after it (an empty comment) and reads back whole. The file is rewritten once, when
// changed, with CR LF endings, through WriteFileAtomically: the old file is replaced only by a
// complete new one.
//
// Bytes are kept: a line is decoded as UTF-8 where it is valid and keeps any
// other byte as it is (files/byte_text.h), and a line the program did not
// change is written back exactly as it was read (a line without "=", a header
// with no entries, bytes of code page 1250 from another program). Lookups go
// through a map from section and key to position, so loading and looking up are
// linear in the size of the file.
class CIniEx {
public:
    CIniEx();
    ~CIniEx();  // writes back when opened with writeBack and something changed

    CIniEx(const CIniEx&) = delete;
    CIniEx& operator=(const CIniEx&) = delete;

    // The largest file loaded; a larger one is not opened (and so never rewritten).
    static constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;

    enum class OpenResult {
        Opened,    // read, and will be written back when changed
        ReadOnly,  // read and used; it cannot be rewritten (a read-only file or
                   // folder), so Write() fails and says why, leaving it alone
        TooLarge,  // over kMaxFileBytes: nothing loaded, never rewritten
        Failed,    // missing without `create`, anything but a regular file, or
                   // unreadable: nothing loaded
    };
    // Loads `path`. A file open before is written back first (when changed)
    // and forgotten. Only Opened and ReadOnly load the file's settings.
    OpenResult Open(const QString& path, bool writeBack, bool create, bool caseInsensitive);

    // Replaces the contents with the lines of `bytes` (LF ends a line, a CR
    // before it is dropped). Keeps the path and options.
    void Parse(const QByteArray& bytes);
    // The bytes Write() puts in the file.
    QByteArray ToBytes() const;

    QString GetValue(const QString& section, const QString& key,
                     const QString& def = QString()) const;
    int GetValueInt(const QString& section, const QString& key, int def) const;
    // Colours: unsigned decimal; a value beyond 32 bits is clamped.
    uint32_t GetValueUInt(const QString& section, const QString& key, uint32_t def) const;

    void SetValue(const QString& section, const QString& key, const QString& value);
    void SetValueInt(const QString& section, const QString& key, int value);
    void SetValueUInt(const QString& section, const QString& key, uint32_t value);

    // Removes the last matching key of the section; false when there is none.
    bool RemoveKey(const QString& section, const QString& key);
    // Removes the first matching named section with its entries.
    bool RemoveSection(const QString& section);
    QStringList GetKeys(const QString& section) const;
    QStringList GetSections() const;

    // Rewrites the file when changed. False only when a write was due and failed
    // (the old file then stays as it was; LastWriteError says why), also when
    // the file was opened read-only; nothing is written without a path.
    bool Write();
    FileError LastWriteError() const { return m_lastWriteError; }

    bool IsChanged() const { return m_changed; }
    QString Path() const { return m_path; }

    // Test hook: called after the temporary file is complete and before it
    // replaces the old one; returning false abandons the rewrite.
    using CommitHook = bool (*)();
    void SetCommitHookForTest(CommitHook hook) { m_commitHook = hook; }

private:
    struct Entry {
        QString key;
        QString value;
        bool equals = true;  // "=" between key and value (a line may have none)
    };
    struct Section {
        QString name;
        bool header = false;   // written as "[name]" (all but the unnamed first one)
        bool findable = true;  // a header read without entries is kept but never found
        std::vector<Entry> entries;
        // Folded key -> its last entry; built when the section is first looked
        // into (most sections of a large file never are).
        mutable QHash<QString, int> lastKey;
        mutable bool keysIndexed = false;
    };

    void Clear();
    QString Fold(const QString& name) const;
    bool Same(const QString& a, const QString& b) const;
    int FindSection(const QString& name) const;
    int FindKey(const Section& s, const QString& key) const;
    void IndexSections();
    void IndexKeys(const Section& s) const;
    void AddEntry(Section& s, Entry entry) const;

    QString m_path;
    std::vector<Section> m_sections;      // [0] is the unnamed section
    QHash<QString, int> m_sectionByName;  // folded name -> first findable section
    bool m_writeBack = false;
    bool m_create = false;
    bool m_readOnly = false;    // read and used, never rewritten
    FileError m_readOnlyError;  // why it cannot be rewritten
    bool m_caseInsensitive = true;
    bool m_changed = false;
    FileError m_lastWriteError;
    CommitHook m_commitHook = nullptr;
};

// Leading decimal integer as the C library's atoi reads it (leading blanks,
// optional sign, digits; none gives 0), clamped to the 64-bit range.
long long IniAtoi64(const QString& text);

// Where kv60x.ini lives: `--config FILE` (or `--config=FILE`) when given; else
// beside the program when the file exists there or that folder is writable;
// else in the per-user configuration folder, which is created.
QString ResolveConfigPath(const QStringList& arguments);
QString ResolveConfigPath(const QStringList& arguments, const QString& programDir,
                          const QString& userConfigDir);

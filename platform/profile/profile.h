// Profile (INI) files: "[section]" lines, "key=value" lines, ";" comments.
//
// Sections and keys are found without regard to case; of several sections or
// keys of one name the first is the one read and written (later ones stay in
// the file untouched). Blanks around names and values are not part of them; a
// value enclosed in a pair of double or single quotes is read without them.
// A write changes the one line it must (or adds one) and keeps every other
// line, comment and blank line byte for byte; the file is saved whole through
// the state-file writer, so a failed or interrupted save leaves the previous
// file as it was.
//
// Text is UTF-8; a line that is not valid UTF-8 (old files from elsewhere) is
// read as CP932 and kept as it was when it is not written. Line ends may be
// "\n" or "\r\n", each line keeping its own; the file's first line end is
// used for the lines added. A
// file larger than kMaxFileSize is not read and never written over.
// Main thread or any one thread at a time; no locking between processes
// (the last writer wins).
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace profile {

inline constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;

class TProfile {
public:
    // Reads the file. 0 when read; ENOENT for a missing file (an empty
    // profile that may be saved); any other errno (EFBIG beyond
    // kMaxFileSize) leaves the profile empty and refuses to save over it.
    int Load(const QString& path);
    // Takes the bytes of a file (as Load does after reading it).
    void SetContent(const QByteArray& bytes);
    // The bytes of the file as they would be saved.
    QByteArray Content() const;
    // Writes Content() over the file atomically. 0 or the errno of the failed
    // step; EPERM when the loaded file could not be read.
    int Save(const QString& path) const;

    bool HasSection(const QString& section) const;
    bool HasKey(const QString& section, const QString& key) const;
    // Names of the sections (first of each name, file order) and of the keys
    // of a section.
    QStringList Sections() const;
    QStringList Keys(const QString& section) const;

    // The value, or `fallback` when the section or key is missing.
    QString ReadString(const QString& section, const QString& key, const QString& fallback = QString()) const;
    // The leading number of the value (see LeadingNumber), or `fallback`
    // when the section or key is missing.
    std::int64_t ReadInteger(const QString& section, const QString& key, std::int64_t fallback) const;

    // Sets the value, adding the key at the end of its section and the
    // section at the end of the file when missing. False (nothing changed)
    // for a name or value that cannot be stored: an empty section or key, a
    // line end or NUL anywhere, "]" in a section, "=" in a key or a key that
    // starts with "[" or ";".
    bool WriteString(const QString& section, const QString& key, const QString& value);
    bool WriteInteger(const QString& section, const QString& key, std::int64_t value);
    // Remove the first key of the name, or every line of the first section of
    // the name (its header up to the next section). False when missing.
    bool DeleteKey(const QString& section, const QString& key);
    bool DeleteSection(const QString& section);

private:
    enum class Kind { Other, Blank, Comment, Section, Key };
    struct Line {
        QByteArray raw;   // as read (or as written by us), without its line end
        QByteArray end;   // its own line end: "\r\n", "\n", or none for a last line without one
        Kind kind = Kind::Other;
        QString name;     // section or key name, trimmed
        QString value;    // a key's value, trimmed and unquoted
    };
    static Line ParseLine(const QByteArray& raw);
    // Index of the first section header of the name, or -1.
    int FindSection(const QString& section) const;
    // End of the section that starts at `header` (the next header, or the end).
    int SectionEnd(int header) const;
    int FindKey(const QString& section, const QString& key) const;

    // Gives the last line its end before anything changes after it.
    void EndEveryLine();

    std::vector<Line> lines_;
    QByteArray lineEnd_ = "\n";   // the file's first line end, for the lines added
    int loadError_ = 0;          // set by Load for a file that exists but could not be read
};

// The leading number of a text: blanks, an optional sign and decimal digits;
// 0 when there are none; held to the range of int64.
std::int64_t LeadingNumber(const QString& text);

// One-call forms. Read: the file is read for each call; a missing or
// unreadable file gives the fallback. Write: read, change, save whole;
// 0 or an errno (EINVAL for names or a value that cannot be stored).
QString ReadProfileString(const QString& path, const QString& section, const QString& key,
                          const QString& fallback = QString());
std::int64_t ReadProfileInteger(const QString& path, const QString& section, const QString& key,
                                std::int64_t fallback);
int WriteProfileString(const QString& path, const QString& section, const QString& key, const QString& value);

}  // namespace profile

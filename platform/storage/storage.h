// Compound files (OLE2 structured storage) with named streams, read and
// written through libgsf.
//
// A storage is read whole into memory: its top-level streams by name. It is
// "opened for writing" by reading the old file, changing streams in memory
// and saving: the new file is written whole to a temporary beside the old
// one and renamed over it, so that a crash leaves the old file or the new
// one, never half of one. A file that exists but is no compound file is never
// overwritten.
//
// Streams are bounded: a file larger than kMaxFileBytes or a stream larger
// than kMaxStreamBytes is refused before anything is allocated for it.
#pragma once

#include "platform/wintypes.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>

namespace storage {

// The statuses of the platform's structured storage, by their numbers.
constexpr HRESULT STG_E_FILENOTFOUND = static_cast<HRESULT>(0x80030002u);
constexpr HRESULT STG_E_PATHNOTFOUND = static_cast<HRESULT>(0x80030003u);
constexpr HRESULT STG_E_ACCESSDENIED = static_cast<HRESULT>(0x80030005u);
constexpr HRESULT STG_E_WRITEFAULT = static_cast<HRESULT>(0x8003001Du);
constexpr HRESULT STG_E_READFAULT = static_cast<HRESULT>(0x8003001Eu);
constexpr HRESULT STG_E_FILEALREADYEXISTS = static_cast<HRESULT>(0x80030050u);
constexpr HRESULT STG_E_INVALIDNAME = static_cast<HRESULT>(0x800300FCu);
constexpr HRESULT STG_E_INVALIDHEADER = static_cast<HRESULT>(0x800300FBu);   // not a compound file
constexpr HRESULT STG_E_DOCFILETOOLARGE = static_cast<HRESULT>(0x80030111u);

inline constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;
inline constexpr qint64 kMaxStreamBytes = 4 * 1024 * 1024;

// The eight bytes every compound file begins with.
extern const char kSignature[8];

class Storage {
public:
    // Reads the compound file at `path`. STG_E_FILENOTFOUND when there is
    // none, STG_E_INVALIDHEADER when it is no compound file,
    // STG_E_DOCFILETOOLARGE past the bounds, STG_E_READFAULT otherwise.
    // Sub-storages are skipped: only top-level streams are kept.
    static HRESULT Open(const QString& path, Storage* storage);
    // The same over a compound file's bytes.
    static HRESULT Parse(const QByteArray& data, Storage* storage);

    QStringList StreamNames() const;
    bool HasStream(const QString& name) const { return streams_.count(name) != 0; }
    // STG_E_FILENOTFOUND when the storage has no stream of that name.
    HRESULT ReadStream(const QString& name, QByteArray* bytes) const;
    // Creates or replaces a stream. STG_E_INVALIDNAME for an empty name or
    // one of more than 31 characters; STG_E_DOCFILETOOLARGE past the bound.
    HRESULT WriteStream(const QString& name, const QByteArray& bytes);
    void RemoveStream(const QString& name) { streams_.erase(name); }

    // The compound file's bytes.
    HRESULT Serialize(QByteArray* bytes) const;
    // Writes the storage as the file at `path` (created or replaced whole).
    // STG_E_ACCESSDENIED when a file there is no compound file or may not
    // be written; STG_E_PATHNOTFOUND when its folder is missing.
    HRESULT Save(const QString& path) const;

private:
    std::map<QString, QByteArray> streams_;
};

// Whether the bytes begin with the compound-file signature.
bool HasSignature(const QByteArray& bytes);

// One stream of the file at `path`.
HRESULT ReadStream(const QString& path, const QString& name, QByteArray* bytes);
// Opens the file at `path` for writing (a new storage when there is none),
// puts the stream into it and saves it; the other streams are kept.
HRESULT WriteStream(const QString& path, const QString& name, const QByteArray& bytes);

}  // namespace storage

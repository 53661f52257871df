#include "platform/storage/storage.h"

#include "platform/files/boundedread.h"
#include "platform/files/statefile.h"

#include <QFile>

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>

namespace storage {

const char kSignature[8] = {'\xD0', '\xCF', '\x11', '\xE0', '\xA1', '\xB1', '\x1A', '\xE1'};

namespace {

// A directory entry holds at most 31 UTF-16 units of name and its zero.
constexpr int kMaxNameUnits = 31;

void InitGsf()
{
    static std::once_flag once;
    std::call_once(once, [] { gsf_init(); });
}

struct Unref {
    void operator()(gpointer object) const
    {
        if (object) g_object_unref(object);
    }
};
template <class T>
using Owned = std::unique_ptr<T, Unref>;

bool ValidName(const QString& name)
{
    if (name.isEmpty() || name.size() > kMaxNameUnits) return false;
    // These separate the parts of a path in the platform's storage names.
    for (const QChar c : name)
        if (c == '/' || c == '\\' || c == ':' || c == '!' || c.unicode() < 0x20) return false;
    return true;
}

HRESULT StatusOfErrno(int error)
{
    switch (error) {
    case 0: return S_OK;
    case ENOENT:
    case ENOTDIR: return STG_E_PATHNOTFOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return STG_E_ACCESSDENIED;
    case ENAMETOOLONG: return STG_E_INVALIDNAME;
    default: return STG_E_WRITEFAULT;
    }
}

}  // namespace

bool HasSignature(const QByteArray& bytes)
{
    return bytes.size() >= int(sizeof kSignature) && memcmp(bytes.constData(), kSignature, sizeof kSignature) == 0;
}

HRESULT Storage::Open(const QString& path, Storage* storage)
{
    QFile file(path);
    if (!file.exists()) return STG_E_FILENOTFOUND;
    if (!file.open(QIODevice::ReadOnly)) return STG_E_ACCESSDENIED;
    if (file.size() > kMaxFileBytes) return STG_E_DOCFILETOOLARGE;
    const QByteArray data = files::ReadAtMost(file, kMaxFileBytes);
    return Parse(data, storage);
}

HRESULT Storage::Parse(const QByteArray& data, Storage* storage)
{
    if (data.size() > kMaxFileBytes) return STG_E_DOCFILETOOLARGE;
    if (!HasSignature(data)) return STG_E_INVALIDHEADER;

    InitGsf();
    // The input reads the array in place; it lives until the end of this call.
    Owned<GsfInput> input(
        gsf_input_memory_new(reinterpret_cast<const guint8*>(data.constData()), data.size(), FALSE));
    if (!input) return STG_E_READFAULT;
    GError* error = nullptr;
    Owned<GsfInfile> ole(gsf_infile_msole_new(input.get(), &error));
    if (!ole) {
        g_clear_error(&error);
        return STG_E_INVALIDHEADER;
    }
    Storage read;
    qint64 total = 0;
    const int children = gsf_infile_num_children(ole.get());
    for (int i = 0; i < children; ++i) {
        const char* rawName = gsf_infile_name_by_index(ole.get(), i);
        Owned<GsfInput> child(gsf_infile_child_by_index(ole.get(), i));
        if (!rawName || !child) return STG_E_READFAULT;
        // A sub-storage can have children; a stream cannot.
        if (GSF_IS_INFILE(child.get()) && gsf_infile_num_children(GSF_INFILE(child.get())) >= 0) continue;
        const gsf_off_t size = gsf_input_size(child.get());
        if (size < 0) return STG_E_READFAULT;
        // Chains may share sectors: what is kept stays within a file's bound.
        total += size;
        if (size > kMaxStreamBytes || total > kMaxFileBytes) return STG_E_DOCFILETOOLARGE;
        QByteArray bytes(int(size), Qt::Uninitialized);
        if (size > 0 && !gsf_input_read(child.get(), size_t(size), reinterpret_cast<guint8*>(bytes.data())))
            return STG_E_READFAULT;
        read.streams_[QString::fromUtf8(rawName)] = bytes;
    }
    *storage = std::move(read);
    return S_OK;
}

QStringList Storage::StreamNames() const
{
    QStringList names;
    for (const auto& [name, bytes] : streams_) names << name;
    return names;
}

HRESULT Storage::ReadStream(const QString& name, QByteArray* bytes) const
{
    const auto it = streams_.find(name);
    if (it == streams_.end()) return STG_E_FILENOTFOUND;
    *bytes = it->second;
    return S_OK;
}

HRESULT Storage::WriteStream(const QString& name, const QByteArray& bytes)
{
    if (!ValidName(name)) return STG_E_INVALIDNAME;
    if (bytes.size() > kMaxStreamBytes) return STG_E_DOCFILETOOLARGE;
    streams_[name] = bytes;
    return S_OK;
}

HRESULT Storage::Serialize(QByteArray* bytes) const
{
    InitGsf();
    Owned<GsfOutput> memory(gsf_output_memory_new());
    if (!memory) return STG_E_WRITEFAULT;
    {
        Owned<GsfOutfile> ole(gsf_outfile_msole_new(memory.get()));
        if (!ole) return STG_E_WRITEFAULT;
        for (const auto& [name, content] : streams_) {
            Owned<GsfOutput> child(gsf_outfile_new_child(ole.get(), name.toUtf8().constData(), FALSE));
            if (!child) return STG_E_WRITEFAULT;
            const bool written =
                gsf_output_write(child.get(), size_t(content.size()),
                                 reinterpret_cast<const guint8*>(content.constData()));
            if (!gsf_output_close(child.get()) || !written) return STG_E_WRITEFAULT;
        }
        if (!gsf_output_close(GSF_OUTPUT(ole.get()))) return STG_E_WRITEFAULT;
    }
    const gsf_off_t size = gsf_output_size(memory.get());
    const guint8* data = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory.get()));
    if (size <= 0 || !data) return STG_E_WRITEFAULT;
    *bytes = QByteArray(reinterpret_cast<const char*>(data), int(size));
    return S_OK;
}

HRESULT Storage::Save(const QString& path) const
{
    // Whatever is at the path must be ours (or empty) before it is replaced.
    QFile old(path);
    if (old.exists()) {
        if (!old.open(QIODevice::ReadOnly)) return STG_E_ACCESSDENIED;
        const QByteArray head = old.read(sizeof kSignature);
        if (!head.isEmpty() && !HasSignature(head)) return STG_E_ACCESSDENIED;
    }
    QByteArray bytes;
    const HRESULT hr = Serialize(&bytes);
    if (FAILED(hr)) return hr;
    const QByteArray local = QFile::encodeName(path);
    return StatusOfErrno(statefile::WriteAtomically(std::string(local.constData(), size_t(local.size())),
                                                    std::string_view(bytes.constData(), size_t(bytes.size()))));
}

HRESULT ReadStream(const QString& path, const QString& name, QByteArray* bytes)
{
    Storage storage;
    const HRESULT hr = Storage::Open(path, &storage);
    if (FAILED(hr)) return hr;
    return storage.ReadStream(name, bytes);
}

HRESULT WriteStream(const QString& path, const QString& name, const QByteArray& bytes)
{
    Storage storage;
    HRESULT hr = Storage::Open(path, &storage);
    if (FAILED(hr) && hr != STG_E_FILENOTFOUND) return hr == STG_E_INVALIDHEADER ? STG_E_ACCESSDENIED : hr;
    hr = storage.WriteStream(name, bytes);
    if (FAILED(hr)) return hr;
    return storage.Save(path);
}

}  // namespace storage

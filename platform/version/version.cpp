// Version blocks: the ELF note reader, the block's lookups and the answers
// for GStreamer plugin modules.
#include "platform/version/version.h"

#include <gst/gst.h>

#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <limits>

namespace version {
namespace {

constexpr std::size_t kHeaderSize = 20;          // the block's numbers before its texts
constexpr std::size_t kMaxBlock = 64 * 1024;     // a version block is small; larger is not ours
constexpr std::size_t kMaxRegion = 1024 * 1024;  // a note segment or section worth walking
constexpr std::size_t kMaxTexts = 256;
constexpr std::uint32_t kNoteType = 1;
const char kOwner[] = "Zoravel";

WORD Word(const std::uint8_t* p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }

std::uint32_t Dword(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint64_t Qword(const std::uint8_t* p)
{
    return static_cast<std::uint64_t>(Dword(p)) | static_cast<std::uint64_t>(Dword(p + 4)) << 32;
}

// True when [offset, offset + size) lies inside a file of `fileSize` bytes.
bool Inside(std::uint64_t offset, std::uint64_t size, std::uint64_t fileSize)
{
    return offset <= fileSize && size <= fileSize - offset;
}

std::uint64_t AlignUp(std::uint64_t value, std::uint64_t align)
{
    return (value + align - 1) / align * align;
}

// The notes of one region (a note segment or section) of the file: the
// descriptor of our version note when it holds a valid block.
std::vector<std::uint8_t> FindInRegion(const ReadAt& read, std::uint64_t fileSize, std::uint64_t offset,
                                       std::uint64_t size, std::uint64_t align)
{
    if (size == 0 || size > kMaxRegion || !Inside(offset, size, fileSize)) return {};
    std::vector<std::uint8_t> region(static_cast<std::size_t>(size));
    if (!read(offset, region.data(), region.size())) return {};
    // Notes are padded to 4 bytes, or to 8 in regions aligned to 8.
    const std::uint64_t pad = align == 8 ? 8 : 4;
    std::uint64_t at = 0;
    // The padding after the last note may reach past the region's end.
    while (at <= size && size - at >= 12) {
        const std::uint8_t* note = region.data() + at;
        const std::uint64_t nameSize = Dword(note), descSize = Dword(note + 4);
        const std::uint32_t type = Dword(note + 8);
        const std::uint64_t nameAt = at + 12;
        if (nameSize > size - nameAt) return {};
        const std::uint64_t descAt = nameAt + AlignUp(nameSize, pad);
        if (descAt > size || descSize > size - descAt) return {};
        if (type == kNoteType && nameSize == sizeof kOwner &&
            std::memcmp(region.data() + nameAt, kOwner, sizeof kOwner) == 0) {
            const std::uint8_t* desc = region.data() + descAt;
            if (descSize < kHeaderSize) return {};
            const std::size_t length = Word(desc);
            if (length > descSize || !IsValidBlock(desc, length)) return {};
            return std::vector<std::uint8_t>(desc, desc + length);
        }
        at = descAt + AlignUp(descSize, pad);
    }
    return {};
}

// The block of a file we built, empty for any other file.
std::vector<std::uint8_t> ReadFileBlock(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const qint64 fileSize = f.size();
    if (fileSize <= 0) return {};
    const ReadAt read = [&f](std::uint64_t offset, void* into, std::size_t size) {
        if (offset > static_cast<std::uint64_t>(std::numeric_limits<qint64>::max()) ||
            !f.seek(static_cast<qint64>(offset)))
            return false;
        return f.read(static_cast<char*>(into), static_cast<qint64>(size)) == static_cast<qint64>(size);
    };
    return FindVersionNote(read, static_cast<std::uint64_t>(fileSize));
}

// "1.22.0" as 1, 22, 0, 0: up to four numbers, the missing ones 0.
TFixedVersion ParseNumbers(const QString& text)
{
    TFixedVersion v;
    WORD* numbers[] = {&v.Major, &v.Minor, &v.Release, &v.Build};
    const QStringList parts = text.split(QLatin1Char('.'));
    for (int i = 0; i < parts.size() && i < 4; ++i) {
        bool ok = false;
        const uint n = parts[i].toUInt(&ok);
        if (!ok) break;
        *numbers[i] = static_cast<WORD>(std::min<uint>(n, 0xFFFF));
    }
    return v;
}

// The block of a GStreamer plugin module: its plugin's version from the registry.
std::vector<std::uint8_t> PluginBlock(const QString& file)
{
    const QString wanted = QFileInfo(file).canonicalFilePath();
    if (wanted.isEmpty()) return {};
    if (!gst_init_check(nullptr, nullptr, nullptr)) return {};
    std::vector<std::uint8_t> block;
    GList* plugins = gst_registry_get_plugin_list(gst_registry_get());
    for (GList* l = plugins; l; l = l->next) {
        GstPlugin* plugin = GST_PLUGIN(l->data);
        const gchar* name = gst_plugin_get_filename(plugin);
        if (!name || QFileInfo(QString::fromUtf8(name)).canonicalFilePath() != wanted) continue;
        const QString text = QString::fromUtf8(gst_plugin_get_version(plugin));
        block = MakeBlock(ParseNumbers(text), {{QStringLiteral("FileVersion"), text},
                                               {QStringLiteral("ProductVersion"), text},
                                               {QStringLiteral("ProductName"),
                                                QString::fromUtf8(gst_plugin_get_package(plugin))},
                                               {QStringLiteral("OriginalFilename"), QFileInfo(file).fileName()}});
        break;
    }
    gst_plugin_list_free(plugins);
    return block;
}

std::vector<std::uint8_t> ReadBlock(const QString& file)
{
    if (file.isEmpty()) return {};
    std::vector<std::uint8_t> block = ReadFileBlock(file);
    if (block.empty() && file.endsWith(QLatin1String(".so"))) block = PluginBlock(file);
    return block;
}

}  // namespace

std::vector<std::uint8_t> FindVersionNote(const ReadAt& read, std::uint64_t fileSize)
{
    std::uint8_t ident[64] = {};
    if (fileSize < 52 || !read(0, ident, std::min<std::uint64_t>(fileSize, sizeof ident))) return {};
    if (std::memcmp(ident, "\x7F" "ELF", 4) != 0) return {};
    const bool is64 = ident[4] == 2;
    // Our deliverables are little-endian; a big-endian file is not one of them.
    if ((ident[4] != 1 && !is64) || ident[5] != 1) return {};
    if (is64 && fileSize < 64) return {};
    const std::uint64_t phoff = is64 ? Qword(ident + 32) : Dword(ident + 28);
    const std::uint64_t shoff = is64 ? Qword(ident + 40) : Dword(ident + 32);
    const std::uint64_t phentsize = Word(ident + (is64 ? 54 : 42)), phnum = Word(ident + (is64 ? 56 : 44));
    const std::uint64_t shentsize = Word(ident + (is64 ? 58 : 46)), shnum = Word(ident + (is64 ? 60 : 48));

    // The program headers first: a stripped file may have lost its section table.
    const std::uint64_t minPh = is64 ? 56 : 32;
    if (phoff != 0 && phentsize >= minPh && Inside(phoff, phentsize * phnum, fileSize)) {
        std::uint8_t ph[64];
        for (std::uint64_t i = 0; i < phnum; ++i) {
            if (!read(phoff + i * phentsize, ph, static_cast<std::size_t>(minPh))) return {};
            if (Dword(ph) != 4) continue;   // PT_NOTE
            const std::uint64_t offset = is64 ? Qword(ph + 8) : Dword(ph + 4);
            const std::uint64_t size = is64 ? Qword(ph + 32) : Dword(ph + 16);
            const std::uint64_t align = is64 ? Qword(ph + 48) : Dword(ph + 28);
            std::vector<std::uint8_t> block = FindInRegion(read, fileSize, offset, size, align);
            if (!block.empty()) return block;
        }
    }
    const std::uint64_t minSh = is64 ? 64 : 40;
    if (shoff != 0 && shentsize >= minSh && Inside(shoff, shentsize * shnum, fileSize)) {
        std::uint8_t sh[64];
        for (std::uint64_t i = 0; i < shnum; ++i) {
            if (!read(shoff + i * shentsize, sh, static_cast<std::size_t>(minSh))) return {};
            if (Dword(sh + 4) != 7) continue;   // SHT_NOTE
            const std::uint64_t offset = is64 ? Qword(sh + 24) : Dword(sh + 16);
            const std::uint64_t size = is64 ? Qword(sh + 32) : Dword(sh + 20);
            const std::uint64_t align = is64 ? Qword(sh + 48) : Dword(sh + 32);
            std::vector<std::uint8_t> block = FindInRegion(read, fileSize, offset, size, align);
            if (!block.empty()) return block;
        }
    }
    return {};
}

bool IsValidBlock(const std::uint8_t* data, std::size_t size)
{
    if (!data || size < kHeaderSize || size > kMaxBlock || Word(data) != size || Word(data + 2) != 1) return false;
    const std::size_t count = Word(data + 16);
    if (count > kMaxTexts) return false;
    std::size_t at = kHeaderSize;
    for (std::size_t i = 0; i < count * 2; ++i) {
        const void* end = std::memchr(data + at, 0, size - at);
        if (!end) return false;
        at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(end) - data) + 1;
    }
    return true;
}

std::vector<std::uint8_t> MakeBlock(const TFixedVersion& numbers,
                                    const std::vector<std::pair<QString, QString>>& texts)
{
    std::vector<std::uint8_t> block(kHeaderSize, 0);
    auto put = [&block](std::size_t at, WORD value) {
        block[at] = static_cast<std::uint8_t>(value & 0xFF);
        block[at + 1] = static_cast<std::uint8_t>(value >> 8);
    };
    put(2, 1);
    put(4, kLanguage);
    put(6, kCodePage);
    put(8, numbers.Major);
    put(10, numbers.Minor);
    put(12, numbers.Release);
    put(14, numbers.Build);
    std::size_t count = 0;
    for (const auto& [name, value] : texts) {
        const QByteArray n = name.toUtf8(), v = value.toUtf8();
        if (count == kMaxTexts || block.size() + n.size() + v.size() + 2 > kMaxBlock) break;
        block.insert(block.end(), n.begin(), n.end());
        block.push_back(0);
        block.insert(block.end(), v.begin(), v.end());
        block.push_back(0);
        ++count;
    }
    put(16, static_cast<WORD>(count));
    put(0, static_cast<WORD>(block.size()));
    return block;
}

DWORD GetFileVersionInfoSize(const QString& file, DWORD* handle)
{
    if (handle) *handle = 0;
    return static_cast<DWORD>(ReadBlock(file).size());
}

bool GetFileVersionInfo(const QString& file, DWORD /*handle*/, DWORD length, void* data)
{
    if (!data) return false;
    const std::vector<std::uint8_t> block = ReadBlock(file);
    if (block.empty() || block.size() > length) return false;
    std::memcpy(data, block.data(), block.size());
    return true;
}

bool VerQueryValue(const void* block, const QString& subBlock, const void** buffer, UINT* length)
{
    if (!block || !buffer || !length) return false;
    const auto* data = static_cast<const std::uint8_t*>(block);
    const std::size_t size = Word(data);
    if (!IsValidBlock(data, size)) return false;
    const QStringList parts = subBlock.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (parts.isEmpty()) {
        *buffer = data + 8;
        *length = sizeof(TFixedVersion);
        return true;
    }
    if (parts.size() == 2 && parts[0].compare(QLatin1String("VarFileInfo"), Qt::CaseInsensitive) == 0 &&
        parts[1].compare(QLatin1String("Translation"), Qt::CaseInsensitive) == 0) {
        *buffer = data + 4;
        *length = 4;
        return true;
    }
    if (parts.size() != 3 || parts[0].compare(QLatin1String("StringFileInfo"), Qt::CaseInsensitive) != 0)
        return false;
    const QString table = QStringLiteral("%1%2").arg(Word(data + 4), 4, 16, QLatin1Char('0')).arg(Word(data + 6), 4, 16,
                                                                                                  QLatin1Char('0'));
    if (parts[1].compare(table, Qt::CaseInsensitive) != 0) return false;
    const QByteArray wanted = parts[2].toUtf8();
    std::size_t at = kHeaderSize;
    for (std::size_t i = 0, count = Word(data + 16); i < count; ++i) {
        const char* name = reinterpret_cast<const char*>(data + at);
        const std::size_t nameLength = std::strlen(name);
        const char* value = name + nameLength + 1;
        const std::size_t valueLength = std::strlen(value);
        if (QByteArray(name, static_cast<qsizetype>(nameLength)).compare(wanted, Qt::CaseInsensitive) == 0) {
            *buffer = value;
            *length = static_cast<UINT>(valueLength + 1);
            return true;
        }
        at += nameLength + valueLength + 2;
    }
    return false;
}

QString SystemComponentPath(const QString& windowsName)
{
    if (windowsName.compare(QLatin1String("wmvcore.dll"), Qt::CaseInsensitive) != 0) return {};
    if (!gst_init_check(nullptr, nullptr, nullptr)) return {};
    g_autoptr(GstElementFactory) factory = gst_element_factory_find("asfdemux");
    if (!factory) return {};
    g_autoptr(GstPlugin) plugin = gst_plugin_feature_get_plugin(GST_PLUGIN_FEATURE(factory));
    if (!plugin) return {};
    const gchar* file = gst_plugin_get_filename(plugin);
    return file ? QString::fromUtf8(file) : QString();
}

}  // namespace version

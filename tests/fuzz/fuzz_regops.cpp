// The registry store's operations, not only its text: a run of creates,
// value writes and deletions (with names that differ only in case, deep
// paths, and now and then another process's text in the file) leaves a file
// that, read afresh, holds exactly the keys and values the store answers.
#include "fuzz_folder.h"
#include "platform/registry/registry.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const std::string& Folder() { return FuzzFolder("fuzz_regops"); }

class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Empty() const { return at_ >= size_; }
    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::string Bytes(size_t most)
    {
        const size_t n = std::min<size_t>(Byte() % (most + 1), size_ - std::min(at_, size_));
        std::string out(reinterpret_cast<const char*>(data_ + at_), n);
        at_ += n;
        return out;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

// Names that fold together, and one that is not valid UTF-8.
const char* const kNames[] = {"a", "A", "Ä", "ä", "Key", "KEY", "\xff", "x y", "\"q\"", "[s]"};

std::string Path(Input& in)
{
    std::string path;
    const int depth = in.Byte() % 4;
    for (int i = 0; i < depth; ++i) {
        if (!path.empty()) path += '\\';
        path += kNames[in.Byte() % std::size(kNames)];
    }
    if (in.Byte() == 0xfe) {   // beyond the depth a key may have
        for (int i = 0; i < 520; ++i) path += "\\d";
    }
    return path;
}

// Every key below `key` with its values, as the store answers.
void Dump(HKEY key, const std::string& path, std::string* out, int depth)
{
    if (depth > 600) std::abort();
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD nameSize = sizeof name;
        DWORD type = 0, dataSize = 0;
        if (RegEnumValue(key, i, name, &nameSize, nullptr, &type, nullptr, &dataSize) != ERROR_SUCCESS) break;
        std::vector<BYTE> bytes(dataSize);
        nameSize = sizeof name;
        if (RegEnumValue(key, i, name, &nameSize, nullptr, &type, bytes.data(), &dataSize) != ERROR_SUCCESS)
            std::abort();
        *out += path + "|" + std::string(name, nameSize) + "|" + std::to_string(type) + "|" +
                std::string(bytes.begin(), bytes.end()) + "\n";
    }
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD nameSize = sizeof name;
        if (RegEnumKeyEx(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        const std::string child(name, nameSize);
        HKEY sub = nullptr;
        if (RegOpenKeyEx(key, child.c_str(), 0, KEY_READ, &sub) != ERROR_SUCCESS) std::abort();
        *out += path + "\\" + child + "\n";
        Dump(sub, path + "\\" + child, out, depth + 1);
        RegCloseKey(sub);
    }
}

std::string DumpAll()
{
    std::string out;
    Dump(HKEY_CURRENT_USER, "HKCU", &out, 0);
    Dump(HKEY_CLASSES_ROOT, "HKCR", &out, 0);
    return out;
}

bool WriteText(const std::string& path, const std::string& text)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string store = Folder() + "store.reg";
    const std::string copy = Folder() + "copy.reg";
    unlink(store.c_str());
    registry::SetStorePath(store);
    Input in(data, size);
    std::vector<HKEY> open;
    while (!in.Empty() && open.size() < 64) {
        const uint8_t op = in.Byte() % 9;
        HKEY root = in.Byte() % 2 ? HKEY_CURRENT_USER : HKEY_CLASSES_ROOT;
        if (!open.empty() && in.Byte() % 2) root = open[in.Byte() % open.size()];
        const std::string path = Path(in);
        const char* name = kNames[in.Byte() % std::size(kNames)];
        switch (op) {
        case 0: {
            HKEY key = nullptr;
            if (RegCreateKeyEx(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
                ERROR_SUCCESS)
                open.push_back(key);
            break;
        }
        case 1: {
            const DWORD v = in.Byte() * 0x01010101u;
            RegSetValueEx(root, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
            break;
        }
        case 2: {
            const std::string text = in.Bytes(40);
            RegSetValueEx(root, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
            break;
        }
        case 3: {
            const std::string bytes = in.Bytes(40);
            RegSetValueEx(root, in.Byte() % 2 ? nullptr : name, 0, in.Byte() % 2 ? REG_BINARY : in.Byte(),
                          reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
            break;
        }
        case 4: RegDeleteValue(root, name); break;
        case 5: RegDeleteKey(root, path.c_str()); break;
        case 6: {
            HKEY key = nullptr;
            if (RegOpenKeyEx(root, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) open.push_back(key);
            break;
        }
        case 7: {
            registry::WriteBatch batch;
            const DWORD v = in.Byte();
            RegSetValueEx(root, "batched", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
            RegDeleteValue(root, name);
            break;
        }
        default:
            // Another process writes the file: the store takes what stands there.
            WriteText(store, "REGEDIT4\n\n" + in.Bytes(120));
            break;
        }
    }
    const std::string seen = DumpAll();
    for (HKEY key : open) RegCloseKey(key);

    // The file read afresh (by another process, or the next start) holds the same.
    FILE* f = std::fopen(store.c_str(), "rb");
    std::string text;
    if (f) {
        char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
        std::fclose(f);
    }
    if (!WriteText(copy, text)) std::abort();
    registry::SetStorePath(copy);
    if (DumpAll() != seen) std::abort();
    registry::SetStorePath(store);
    return 0;
}

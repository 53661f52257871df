// The registry functions over one text file shared by every process of the
// user. The parsed tree stays cached; it is read again only when the file's
// identity (device, inode, size, modification time) differs from the one last
// read, so a run of reads costs one stat each and the file is opened once.
// Writers give every new version a modification time later than the one it
// replaces, so a version never looks like an older one, and replace the file
// whole by a rename, so a reader that opens it always sees a complete version.
#include "platform/registry/registry.h"

#include "platform/files/statefile.h"
#include "platform/registry/regtree.h"

#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <mutex>
#include <set>
#include <unordered_set>

using registry::detail::FoldName;
using registry::detail::kRootCount;
using registry::detail::Node;
using registry::detail::Tree;
using registry::detail::Value;

// A key handle names a key by its path; the key is looked up at each call,
// so a handle outlives rewrites of the file by other processes.
struct RegKeyHandle {
    int root;
    std::vector<std::string> path;   // folded names below the root
};

namespace {

RegKeyHandle g_rootHandles[kRootCount] = {{registry::detail::kCurrentUser, {}},
                                          {registry::detail::kLocalMachine, {}},
                                          {registry::detail::kClassesRoot, {}}};

}  // namespace

const HKEY HKEY_CURRENT_USER = &g_rootHandles[0];
const HKEY HKEY_LOCAL_MACHINE = &g_rootHandles[1];
const HKEY HKEY_CLASSES_ROOT = &g_rootHandles[2];

namespace {

constexpr off_t kMaxStoreSize = 64 * 1024 * 1024;

struct FileId {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{};

    static FileId Of(const struct stat& st)
    {
        FileId id;
        id.exists = true;
        id.dev = st.st_dev;
        id.ino = st.st_ino;
        id.size = st.st_size;
        id.mtime = st.st_mtim;
        return id;
    }
    bool operator==(const FileId& o) const
    {
        if (exists != o.exists) return false;
        if (!exists) return true;
        return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec;
    }
};

struct Store {
    std::mutex mu;
    std::string overridePath;

    // The cached tree and the file it was read from.
    bool cached = false;
    std::string cachedPath;
    FileId id;
    std::unique_ptr<Tree> tree = std::make_unique<Tree>();

    std::unordered_set<const RegKeyHandle*> handles;

    // Open write batches: the lock held since their first change.
    int batchDepth = 0;
    int batchLockFd = -1;
    bool batchDirty = false;
    std::string batchPath;

    // The first problem with the file not yet reported, and the files whose
    // problems were reported: the user hears of a broken store once per run.
    registry::StoreProblem problem;
    std::set<std::string> reported;
};

Store& TheStore()
{
#ifdef ZORAVEL_REGISTRY_IN_UNLOADED_LIBRARY
    // Compiled into a library that is unloaded after each use (zodlg): the
    // store goes with it, or every load would leave one behind.
    static Store store;
    return store;
#else
    static Store* store = new Store;   // never destroyed: handles may be closed at exit
    return *store;
#endif
}

LONG ReadErrorOf(int err)
{
    return (err == EACCES || err == EPERM) ? ERROR_ACCESS_DENIED : ERROR_CANTREAD;
}

LONG WriteErrorOf(int err)
{
    return (err == EACCES || err == EPERM || err == EROFS) ? ERROR_ACCESS_DENIED : ERROR_CANTWRITE;
}

std::string DefaultPath()
{
    const char* env = std::getenv("ZORAVEL_REGISTRY");
    if (env && *env) return env;
    std::string base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            const passwd* pw = getpwuid(getuid());
            home = pw ? pw->pw_dir : "/tmp";
        }
        base = std::string(home) + "/.config";
    }
    return base + "/Zoravel/registry.reg";
}

std::string CurrentPath(const Store& s) { return s.overridePath.empty() ? DefaultPath() : s.overridePath; }

std::string ParentDir(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Creates the folder and its parents; 0 or the errno of the failure.
int MakeDirs(const std::string& dir)
{
    struct stat st;
    if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    const std::string parent = ParentDir(dir);
    if (parent != dir) {
        if (const int err = MakeDirs(parent)) return err;
    }
    if (mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST) return 0;
    return errno;
}

void Flock(int fd, int op)
{
    while (flock(fd, op) != 0 && errno == EINTR) {
    }
}

void NoteProblem(Store& s, registry::StoreProblem::Kind kind, const std::string& path,
                 const std::string& movedTo = std::string())
{
    if (s.reported.count(path) || (s.problem.kind != registry::StoreProblem::kNone && s.problem.path == path)) return;
    s.problem.kind = kind;
    s.problem.path = path;
    s.problem.movedTo = movedTo;
}

// "20240131-093005": the local time, for the name of a file moved aside.
std::string TimeStamp()
{
    const time_t now = time(nullptr);
    struct tm local;
    char buf[32] = "unknown";
    if (localtime_r(&now, &local)) strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &local);
    return buf;
}

// Renames the file at `path` to a free name beside it; the new name, or
// empty (errno set) when it could not be moved.
std::string MoveAside(const std::string& path)
{
    const std::string base = path + ".unreadable-" + TimeStamp();
    for (int n = 1; n < 100; ++n) {
        const std::string aside = n == 1 ? base : base + "-" + std::to_string(n);
        if (renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0) return aside;
        if (errno == EEXIST) continue;
        if (errno != EINVAL) return std::string();
        // A file system without RENAME_NOREPLACE: a hard link never replaces either.
        if (link(path.c_str(), aside.c_str()) == 0) {
            if (unlink(path.c_str()) == 0) return aside;
            const int err = errno;
            unlink(aside.c_str());
            errno = err;
            return std::string();
        }
        if (errno != EEXIST) return std::string();
    }
    errno = EEXIST;
    return std::string();
}

LONG SyncOnce(Store& s, const std::string& path, bool* again);

// Brings the cached tree up to the file at `path`, under the file's lock. A
// missing file is an empty registry; a file that exists but cannot be read is
// an error (and is then never overwritten). A file that is not a registry
// file is not ours: it is moved aside, never written over, and the registry
// starts empty.
LONG Sync(Store& s, const std::string& path)
{
    LONG status = ERROR_SUCCESS;
    for (int attempt = 0; attempt < 3; ++attempt) {
        bool again = false;
        status = SyncOnce(s, path, &again);
        if (!again) break;
    }
    if (status != ERROR_SUCCESS) NoteProblem(s, registry::StoreProblem::kCannotRead, path);
    return status;
}

LONG SyncOnce(Store& s, const std::string& path, bool* again)
{
    if (s.cached && s.cachedPath != path) s.cached = false;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
            s.cached = false;
            return ReadErrorOf(errno);
        }
        if (s.cached && !s.id.exists) return ERROR_SUCCESS;
        s.tree = std::make_unique<Tree>();
        s.id = FileId();
        s.cached = true;
        s.cachedPath = path;
        return ERROR_SUCCESS;
    }
    if (!S_ISREG(st.st_mode)) {
        s.cached = false;
        return ERROR_CANTREAD;
    }
    if (s.cached && s.id == FileId::Of(st)) return ERROR_SUCCESS;

    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        s.cached = false;
        return ReadErrorOf(errno);
    }
    struct stat fst;
    if (fstat(fd, &fst) != 0 || !S_ISREG(fst.st_mode) || fst.st_size > kMaxStoreSize) {
        close(fd);
        s.cached = false;
        return ERROR_BADDB;
    }
    std::string text;
    text.resize(static_cast<size_t>(fst.st_size));
    size_t got = 0;
    while (true) {
        if (got == text.size()) text.resize(text.size() + 4096);
        const ssize_t n = read(fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int err = errno;
            close(fd);
            s.cached = false;
            return ReadErrorOf(err);
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
        if (got > static_cast<size_t>(kMaxStoreSize)) {
            close(fd);
            s.cached = false;
            return ERROR_BADDB;
        }
    }
    close(fd);
    text.resize(got);
    auto tree = std::make_unique<Tree>();
    if (!registry::detail::ParseTree(text, tree.get())) {
        s.cached = false;
        const std::string aside = MoveAside(path);
        if (aside.empty()) {
            if (errno != ENOENT) return ERROR_BADDB;
            *again = true;   // another process moved it first
            return ERROR_SUCCESS;
        }
        NoteProblem(s, registry::StoreProblem::kMovedAside, path, aside);
        *again = true;   // read what stands there now (nothing, or another's new file)
        return ERROR_SUCCESS;
    }
    s.tree = std::move(tree);
    s.id = FileId::Of(fst);
    s.cached = true;
    s.cachedPath = path;
    return ERROR_SUCCESS;
}

bool BatchHolds(const Store& s, const std::string& path) { return s.batchLockFd >= 0 && s.batchPath == path; }

// Whether the cached tree is the file now at `path`, by one stat.
bool CacheIsCurrent(const Store& s, const std::string& path)
{
    if (!s.cached || s.cachedPath != path) return false;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return !s.id.exists && (errno == ENOENT || errno == ENOTDIR);
    return S_ISREG(st.st_mode) && s.id == FileId::Of(st);
}

// Brings the tree up to date, for a read: re-read under a shared lock when
// another process changed the file.
LONG SyncForRead(Store& s)
{
    const std::string path = CurrentPath(s);
    if (BatchHolds(s, path)) return ERROR_SUCCESS;   // our own lock: nobody else writes
    if (CacheIsCurrent(s, path)) return ERROR_SUCCESS;
    const std::string lockPath = path + ".lock";
    int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) fd = open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) Flock(fd, LOCK_SH);   // without a lock file (no folder yet) the file is read as it stands
    const LONG status = Sync(s, path);
    if (fd >= 0) close(fd);   // releases the lock
    return status;
}

// Writes the tree through the state-file writer. The store keeps its old
// contents when any step fails.
LONG WriteStore(Store& s, const std::string& path)
{
    const std::string text = registry::detail::WriteTree(*s.tree);
    // Later than both the clock and the version replaced.
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    if (s.id.exists && (s.id.mtime.tv_sec > now.tv_sec ||
                        (s.id.mtime.tv_sec == now.tv_sec && s.id.mtime.tv_nsec >= now.tv_nsec))) {
        now = s.id.mtime;
        if (++now.tv_nsec >= 1000000000L) {
            now.tv_nsec = 0;
            ++now.tv_sec;
        }
    }
    statefile::WriteOptions options;
    options.mode = 0600;   // settings are the user's own
    options.mtime = &now;
    struct stat st;
    if (const int err = statefile::WriteAtomically(path, text, options, &st)) {
        NoteProblem(s, registry::StoreProblem::kCannotWrite, path);
        return WriteErrorOf(err);
    }
    s.id = FileId::Of(st);
    s.cached = true;
    s.cachedPath = path;
    return ERROR_SUCCESS;
}

LONG EndBatch(Store& s)
{
    if (s.batchLockFd < 0) return ERROR_SUCCESS;
    LONG status = ERROR_SUCCESS;
    if (s.batchDirty) {
        status = WriteStore(s, s.batchPath);
        if (status != ERROR_SUCCESS) s.cached = false;
    }
    close(s.batchLockFd);
    s.batchLockFd = -1;
    s.batchDirty = false;
    s.batchPath.clear();
    return status;
}

// Applies a change under the exclusive lock to the freshly read tree and
// writes the file when the change altered anything. `change` returns the
// call's status and sets `changed`; it must leave the tree untouched when it
// fails.
LONG Change(Store& s, const std::function<LONG(Tree&, bool*)>& change)
{
    const std::string path = CurrentPath(s);
    bool changed = false;
    if (BatchHolds(s, path)) {
        const LONG status = change(*s.tree, &changed);
        if (changed) s.batchDirty = true;
        return status;
    }
    if (s.batchLockFd >= 0) EndBatch(s);   // the store moved during a batch: finish the old file first
    if (const int err = MakeDirs(ParentDir(path))) {
        NoteProblem(s, registry::StoreProblem::kCannotWrite, path);
        return WriteErrorOf(err);
    }
    const std::string lockPath = path + ".lock";
    const int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        NoteProblem(s, registry::StoreProblem::kCannotWrite, path);
        return WriteErrorOf(errno);
    }
    Flock(fd, LOCK_EX);
    LONG status = Sync(s, path);
    if (status != ERROR_SUCCESS) {
        close(fd);
        return status;
    }
    status = change(*s.tree, &changed);
    if (changed && s.batchDepth > 0) {
        s.batchLockFd = fd;   // held until the batch ends
        s.batchPath = path;
        s.batchDirty = true;
        return status;
    }
    if (changed) {
        const LONG written = WriteStore(s, path);
        if (written != ERROR_SUCCESS) {
            s.cached = false;   // the tree holds a change the file does not
            status = written;
        }
    }
    close(fd);
    return status;
}

bool IsRoot(HKEY key)
{
    for (auto& root : g_rootHandles) {
        if (key == &root) return true;
    }
    return false;
}

bool ValidHandle(const Store& s, HKEY key)
{
    return key && (IsRoot(key) || s.handles.count(key) > 0);
}

// Splits "A\B\C" into names; empty names (doubled or outer "\") are skipped.
// False when a name holds a control character, which the file cannot keep.
bool SplitPath(const char* subKey, std::vector<std::string>* names)
{
    names->clear();
    if (!subKey) return true;
    std::string_view rest(subKey);
    while (!rest.empty()) {
        const size_t sep = rest.find('\\');
        const std::string_view name = rest.substr(0, sep);
        for (char c : name) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
        }
        if (!name.empty()) names->emplace_back(name);
        if (sep == std::string_view::npos) break;
        rest.remove_prefix(sep + 1);
    }
    return true;
}

Node* Resolve(Tree& tree, const RegKeyHandle* key)
{
    Node* node = &tree.roots[key->root];
    for (const std::string& name : key->path) {
        node = node->Child(name);
        if (!node) return nullptr;
    }
    return node;
}

HKEY NewHandle(Store& s, const RegKeyHandle* parent, const std::vector<std::string>& names)
{
    auto* handle = new RegKeyHandle{parent->root, parent->path};
    for (const std::string& name : names) handle->path.push_back(FoldName(name));
    s.handles.insert(handle);
    return handle;
}

std::string ValueFold(const char* name) { return FoldName(name ? name : ""); }

}  // namespace

LONG RegOpenKeyEx(HKEY parent, const char* subKey, DWORD, REGSAM, HKEY* result)
{
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    Store& s = TheStore();
    std::lock_guard lock(s.mu);
    if (!ValidHandle(s, parent)) return ERROR_INVALID_HANDLE;
    std::vector<std::string> names;
    if (!SplitPath(subKey, &names)) return ERROR_FILE_NOT_FOUND;
    const LONG status = SyncForRead(s);
    if (status != ERROR_SUCCESS) return status;
    Node* node = Resolve(*s.tree, parent);
    if (!node) return ERROR_KEY_DELETED;
    for (const std::string& name : names) {
        node = node->Child(FoldName(name));
        if (!node) return ERROR_FILE_NOT_FOUND;
    }
    *result = NewHandle(s, parent, names);
    return ERROR_SUCCESS;
}

LONG RegCreateKeyEx(HKEY parent, const char* subKey, DWORD, const char*, DWORD, REGSAM, void*, HKEY* result,
                    DWORD* disposition)
{
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    Store& s = TheStore();
    std::lock_guard lock(s.mu);
    if (!ValidHandle(s, parent)) return ERROR_INVALID_HANDLE;
    std::vector<std::string> names;
    if (!SplitPath(subKey, &names)) return ERROR_INVALID_PARAMETER;
    if (parent->path.size() + names.size() > registry::detail::kMaxKeyDepth) return ERROR_INVALID_PARAMETER;

    // An existing key opens without writing (the folder may be read-only).
    LONG status = SyncForRead(s);
    if (status != ERROR_SUCCESS) return status;
    Node* node = Resolve(*s.tree, parent);
    if (!node) return ERROR_KEY_DELETED;
    for (const std::string& name : names) {
        if (!node) break;
        node = node->Child(FoldName(name));
    }
    bool created = false;
    if (!node) {
        status = Change(s, [&](Tree& tree, bool* changed) {
            Node* n = Resolve(tree, parent);
            if (!n) return ERROR_KEY_DELETED;
            for (const std::string& name : names) {
                bool made = false;
                n = n->ChildOrNew(name, FoldName(name), &made);
                if (made) *changed = true;
            }
            return ERROR_SUCCESS;
        });
        if (status != ERROR_SUCCESS) return status;
        created = true;
    }
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = NewHandle(s, parent, names);
    return ERROR_SUCCESS;
}

// Runs `read` on the key's node under the store's lock, after re-reading a
// changed file; the handle's failures are answered without calling it.
template <typename Read>
LONG WithKeyForRead(HKEY key, Read read)
{
    Store& s = TheStore();
    std::lock_guard lock(s.mu);
    if (!ValidHandle(s, key)) return ERROR_INVALID_HANDLE;
    const LONG status = SyncForRead(s);
    if (status != ERROR_SUCCESS) return status;
    Node* node = Resolve(*s.tree, key);
    if (!node) return ERROR_KEY_DELETED;
    return read(node);
}

LONG RegCloseKey(HKEY key)
{
    Store& s = TheStore();
    std::lock_guard lock(s.mu);
    if (!ValidHandle(s, key)) return ERROR_INVALID_HANDLE;
    if (IsRoot(key)) return ERROR_SUCCESS;
    s.handles.erase(key);
    delete key;
    return ERROR_SUCCESS;
}

LONG RegQueryValueEx(HKEY key, const char* name, DWORD*, DWORD* type, BYTE* data, DWORD* size)
{
    if (data && !size) return ERROR_INVALID_PARAMETER;
    return WithKeyForRead(key, [&](Node* node) -> LONG {
        const Value* value = node->FindValue(ValueFold(name));
        if (!value) return ERROR_FILE_NOT_FOUND;
        if (type) *type = value->type;
        const auto needed = static_cast<DWORD>(value->data.size());
        if (!data) {
            if (size) *size = needed;
            return ERROR_SUCCESS;
        }
        if (*size < needed) {
            *size = needed;
            return ERROR_MORE_DATA;
        }
        if (needed) std::memcpy(data, value->data.data(), needed);
        *size = needed;
        return ERROR_SUCCESS;
    });
}

LONG RegSetValueEx(HKEY key, const char* name, DWORD, DWORD type, const BYTE* data, DWORD size)
{
    if (!data && size) return ERROR_INVALID_PARAMETER;
    std::vector<BYTE> bytes;
    if (size) bytes.assign(data, data + size);
    const std::string valueName = name ? name : "";
    const std::string folded = FoldName(valueName);
    Store& s = TheStore();
    std::lock_guard lock(s.mu);
    if (!ValidHandle(s, key)) return ERROR_INVALID_HANDLE;
    return Change(s, [&](Tree& tree, bool* changed) {
        Node* node = Resolve(tree, key);
        if (!node) return ERROR_KEY_DELETED;
        *changed = node->SetValue(valueName, folded, type, bytes);
        return ERROR_SUCCESS;
    });
}

LONG RegDeleteValue(HKEY key, const char* name)
{
    const std::string folded = ValueFold(name);
    Store& s = TheStore();
    std::lock_guard lock(s.mu);
    if (!ValidHandle(s, key)) return ERROR_INVALID_HANDLE;
    return Change(s, [&](Tree& tree, bool* changed) {
        Node* node = Resolve(tree, key);
        if (!node) return ERROR_KEY_DELETED;
        *changed = node->RemoveValue(folded);
        return *changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
}

LONG RegDeleteKey(HKEY parent, const char* subKey)
{
    Store& s = TheStore();
    std::lock_guard lock(s.mu);
    if (!ValidHandle(s, parent)) return ERROR_INVALID_HANDLE;
    std::vector<std::string> names;
    if (!SplitPath(subKey, &names)) return ERROR_FILE_NOT_FOUND;
    // Without a sub-key the handle's own key goes; a root never does.
    RegKeyHandle target{parent->root, parent->path};
    for (const std::string& name : names) target.path.push_back(FoldName(name));
    if (target.path.empty()) return ERROR_ACCESS_DENIED;
    const std::string last = target.path.back();
    target.path.pop_back();
    return Change(s, [&](Tree& tree, bool* changed) {
        if (!Resolve(tree, parent)) return ERROR_KEY_DELETED;
        Node* owner = Resolve(tree, &target);
        if (!owner) return ERROR_FILE_NOT_FOUND;
        *changed = owner->RemoveChild(last);
        return *changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
}

LONG RegEnumKeyEx(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD*, char* className, DWORD* classSize,
                  void*)
{
    if (!name || !nameSize) return ERROR_INVALID_PARAMETER;
    return WithKeyForRead(key, [&](Node* node) -> LONG {
        if (index >= node->children.size()) return ERROR_NO_MORE_ITEMS;
        const std::string& child = node->children[index]->name;
        if (child.size() + 1 > *nameSize) return ERROR_MORE_DATA;
        std::memcpy(name, child.c_str(), child.size() + 1);
        *nameSize = static_cast<DWORD>(child.size());
        if (classSize) {
            if (className && *classSize > 0) className[0] = '\0';
            *classSize = 0;
        }
        return ERROR_SUCCESS;
    });
}

LONG RegEnumValue(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD*, DWORD* type, BYTE* data,
                  DWORD* dataSize)
{
    if (!name || !nameSize || (data && !dataSize)) return ERROR_INVALID_PARAMETER;
    return WithKeyForRead(key, [&](Node* node) -> LONG {
        if (index >= node->values.size()) return ERROR_NO_MORE_ITEMS;
        const Value& value = node->values[index];
        if (value.name.size() + 1 > *nameSize) return ERROR_MORE_DATA;
        const auto needed = static_cast<DWORD>(value.data.size());
        if (data && *dataSize < needed) {
            *dataSize = needed;
            return ERROR_MORE_DATA;
        }
        std::memcpy(name, value.name.c_str(), value.name.size() + 1);
        *nameSize = static_cast<DWORD>(value.name.size());
        if (type) *type = value.type;
        if (data && needed) std::memcpy(data, value.data.data(), needed);
        if (dataSize) *dataSize = needed;
        return ERROR_SUCCESS;
    });
}

LONG RegQueryInfoKey(HKEY key, DWORD* subKeys, DWORD* values)
{
    return WithKeyForRead(key, [&](Node* node) -> LONG {
        if (subKeys) *subKeys = static_cast<DWORD>(node->children.size());
        if (values) *values = static_cast<DWORD>(node->values.size());
        return ERROR_SUCCESS;
    });
}

namespace registry {

std::string StorePath()
{
    Store& s = TheStore();
    std::lock_guard lock(s.mu);
    return CurrentPath(s);
}

void SetStorePath(const std::string& path)
{
    Store& s = TheStore();
    std::lock_guard lock(s.mu);
    s.overridePath = path;
}

std::string StoreProblem::Message() const
{
    switch (kind) {
    case kNone: return std::string();
    case kMovedAside:
        return "設定ファイル \"" + path + "\" は設定ファイルの形式ではないため、\"" + movedTo +
               "\" に移しました。\n既定の設定で始めます。";
    case kCannotRead:
        return "設定ファイル \"" + path + "\" を読み込めません。\n既定の設定で続けます。設定の変更は保存されません。";
    case kCannotWrite:
        return "設定ファイル \"" + path + "\" に書き込めません。\n設定の変更は保存されません。";
    }
    return std::string();
}

namespace {

// Whether a change of the store could be saved, short of writing it: the
// file (when there) and the nearest existing folder writable, and room for
// two copies of the file on that disk.
bool StoreLooksWritable(const std::string& path)
{
    struct stat st;
    off_t size = 0;
    if (stat(path.c_str(), &st) == 0) {
        if (access(path.c_str(), W_OK) != 0) return false;
        size = st.st_size;
    }
    std::string folder = ParentDir(path);
    while (stat(folder.c_str(), &st) != 0 && folder != "/" && folder != ".") folder = ParentDir(folder);
    if (!S_ISDIR(st.st_mode) || access(folder.c_str(), W_OK | X_OK) != 0) return false;
    struct statvfs vfs;
    if (statvfs(folder.c_str(), &vfs) != 0) return true;
    const unsigned long long room = static_cast<unsigned long long>(vfs.f_bavail) * vfs.f_frsize;
    return room >= 2ull * static_cast<unsigned long long>(size) + 64 * 1024;
}

}  // namespace

StoreProblem CheckStore()
{
    Store& s = TheStore();
    std::lock_guard lock(s.mu);
    const std::string path = CurrentPath(s);
    const size_t slash = path.rfind('/');
    statefile::RemoveStaleTemporaries(ParentDir(path), slash == std::string::npos ? path : path.substr(slash + 1));
    if (SyncForRead(s) == ERROR_SUCCESS && !StoreLooksWritable(path))
        NoteProblem(s, StoreProblem::kCannotWrite, path);
    StoreProblem problem;
    if (!s.reported.count(path) && s.problem.path == path) problem = s.problem;
    s.reported.insert(path);
    s.problem = StoreProblem();
    return problem;
}

WriteBatch::WriteBatch()
{
    Store& s = TheStore();
    std::lock_guard lock(s.mu);
    ++s.batchDepth;
}

WriteBatch::~WriteBatch() { Commit(); }

LONG WriteBatch::Commit()
{
    if (!open_) return ERROR_SUCCESS;
    open_ = false;
    Store& s = TheStore();
    std::lock_guard lock(s.mu);
    if (--s.batchDepth > 0) return ERROR_SUCCESS;
    return EndBatch(s);
}

}  // namespace registry

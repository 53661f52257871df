#include "platform/files/statefile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <vector>

namespace statefile {

namespace {

constexpr std::string_view kSuffix = ".tmp";
// Room for ".", the pid, the counter and the suffix within a file name.
constexpr size_t kMaxBaseInName = 200;

std::atomic<unsigned> g_sequence{0};

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string BaseInName(std::string_view name) { return std::string(name.substr(0, kMaxBaseInName)); }

bool AllDigits(std::string_view s)
{
    if (s.empty() || s.size() > 10) return false;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// Splits ".<base>.<pid>-<n>.tmp"; false for any other name.
bool SplitTemporaryName(std::string_view name, std::string_view* base, pid_t* pid)
{
    if (name.size() < 2 || name.front() != '.' || name.size() <= kSuffix.size()) return false;
    if (name.substr(name.size() - kSuffix.size()) != kSuffix) return false;
    std::string_view rest = name.substr(1, name.size() - 1 - kSuffix.size());
    const size_t dash = rest.rfind('-');
    if (dash == std::string_view::npos || !AllDigits(rest.substr(dash + 1))) return false;
    rest = rest.substr(0, dash);
    const size_t dot = rest.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || !AllDigits(rest.substr(dot + 1))) return false;
    const long value = std::strtol(std::string(rest.substr(dot + 1)).c_str(), nullptr, 10);
    if (value <= 0 || value > INT_MAX) return false;
    *base = rest.substr(0, dot);
    *pid = static_cast<pid_t>(value);
    return true;
}

bool ProcessRuns(pid_t pid) { return kill(pid, 0) == 0 || errno == EPERM; }

int WriteAll(int fd, std::string_view content)
{
    size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return ENOSPC;
        done += static_cast<size_t>(n);
    }
    return 0;
}

// Without this the rename itself may be lost in a power cut, and the old
// version come back after the new one was reported written.
void FlushFolder(const std::string& folder)
{
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

}  // namespace

bool IsTemporaryName(std::string_view fileName, pid_t* pid)
{
    std::string_view base;
    pid_t owner = 0;
    if (!SplitTemporaryName(fileName, &base, &owner)) return false;
    if (pid) *pid = owner;
    return true;
}

int WriteAtomically(const std::string& path, std::string_view content, const WriteOptions& options,
                    struct stat* written)
{
    if (path.empty()) return EINVAL;
    std::string target = path;
    struct stat lst;
    if (lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
        char resolved[PATH_MAX];
        if (realpath(path.c_str(), resolved)) target = resolved;   // a dangling link is replaced
    }
    bool keepMode = false;
    struct stat old;
    if (stat(target.c_str(), &old) == 0) {
        if (!S_ISREG(old.st_mode)) return EISDIR;
        // A file its owner made read-only is not replaced behind their back.
        if (access(target.c_str(), W_OK) != 0) return EACCES;
        keepMode = true;
    }

    const std::string folder = FolderOf(target);
    const std::string tmp = folder + "/." + BaseInName(NameOf(target)) + "." + std::to_string(getpid()) + "-" +
                            std::to_string(g_sequence.fetch_add(1)) + std::string(kSuffix);
    const int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, options.mode);
    if (fd < 0) return errno;
    // Held until the rename: a cleaner that gets the lock knows the writer is gone.
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    auto fail = [&](int err) {
        close(fd);
        unlink(tmp.c_str());
        return err;
    };
    if (const int err = WriteAll(fd, content)) return fail(err);
    if (keepMode && fchmod(fd, old.st_mode & 07777) != 0) return fail(errno);
    if (options.mtime) {
        const timespec times[2] = {{0, UTIME_OMIT}, *options.mtime};
        if (futimens(fd, times) != 0) return fail(errno);
    }
    if (fsync(fd) != 0) return fail(errno);
    struct stat st;
    if (fstat(fd, &st) != 0) return fail(errno);
    if (rename(tmp.c_str(), target.c_str()) != 0) return fail(errno);
    close(fd);
    FlushFolder(folder);
    if (written) *written = st;
    return 0;
}

int RemoveStaleTemporaries(const std::string& folder, const std::string& name, bool subFolders)
{
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return 0;
    std::vector<std::string> below;
    const std::string wanted = name.empty() ? std::string() : BaseInName(name);
    const pid_t self = getpid();
    int removed = 0;
    while (const dirent* e = readdir(dir)) {
        std::string_view base;
        pid_t pid = 0;
        if (subFolders && e->d_type == DT_DIR && e->d_name[0] != '.') below.push_back(e->d_name);
        if (!SplitTemporaryName(e->d_name, &base, &pid)) continue;
        if (!wanted.empty() && base != wanted) continue;
        if (pid == self || ProcessRuns(pid)) continue;
        // A writer in another process namespace may share the pid of a dead
        // one here: its lock still tells that it runs.
        const int dfd = dirfd(dir);
        const int fd = openat(dfd, e->d_name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) continue;
        struct stat held;
        struct stat named;
        if (fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            fstatat(dfd, e->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_ino == held.st_ino &&
            named.st_dev == held.st_dev && unlinkat(dfd, e->d_name, 0) == 0)
            ++removed;
        close(fd);
    }
    closedir(dir);
    for (const std::string& sub : below) removed += RemoveStaleTemporaries(folder + "/" + sub, name, false);
    return removed;
}

FileLock::FileLock(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string lockPath = folder + "." + name + ".lock";
    fd_ = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    while (flock(fd_, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        close(fd_);
        fd_ = -1;
        return;
    }
}

FileLock::~FileLock()
{
    if (fd_ >= 0) close(fd_);   // closing the last descriptor releases the lock
}

}  // namespace statefile

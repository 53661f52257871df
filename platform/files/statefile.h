// The one writer of state files (the settings store, the player's lists,
// resume and bookmark files). A new version is written whole to a temporary
// file beside the target, flushed to disk, renamed over the target, and the
// folder is flushed, so that a crash or a power cut leaves the old version or
// the new one and never part of one.
//
// A temporary is named ".<name>.<pid>-<n>.tmp" after its writer's process and
// stays locked (flock) while it is written; RemoveStaleTemporaries removes
// those whose writer no longer runs. Plain C++ (no Qt): the registry uses it.
#pragma once

#include <sys/stat.h>

#include <ctime>
#include <string>
#include <string_view>

namespace statefile {

struct WriteOptions {
    // Permissions of a new file, less the umask; an existing target keeps its own.
    mode_t mode = 0666;
    // Modification time the new version is given; null for the current time.
    const timespec* mtime = nullptr;
};

// Replaces the file at `path` (a symbolic link is written through to its
// target, so the link stays) with `content`. 0 on success, else the errno of
// the step that failed (EACCES when the target exists but may not be
// written); the target keeps its old content on any failure. `written`, when
// given, receives the status of the new file.
int WriteAtomically(const std::string& path, std::string_view content, const WriteOptions& options = {},
                    struct stat* written = nullptr);

// An exclusive lock for changing the state file at `path` (flock on a
// hidden ".<name>.lock" beside it; the file itself cannot carry it, as each
// write renames a new file over it). Processes that read a file, change it
// and write it back take turns under it, so each reads what the one before
// wrote and no change is lost. Held until destroyed. Where no lock file can
// be made (a read-only folder) none is held, and nothing can be written there
// either.
class FileLock {
public:
    explicit FileLock(const std::string& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// Removes, in `folder`, the temporaries of writers that no longer run. With
// `name` given, only those of that target file; else all of them, and with
// `subFolders` those in the folders directly below too. Returns how many
// were removed.
int RemoveStaleTemporaries(const std::string& folder, const std::string& name = std::string(),
                           bool subFolders = false);

// Whether a file name is one of our temporaries; its writer's process id.
bool IsTemporaryName(std::string_view fileName, pid_t* pid = nullptr);

}  // namespace statefile

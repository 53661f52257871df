// Small icons of files and file types for the tool windows' lists, shared by
// every window and never owned by one. A list asks once per entry for an
// icon index and keeps it; the index names one cached icon for the rest of
// the program's life. Index 0 stands for "no icon" and is never drawn.
// Main thread only (the icon theme is read there).
#pragma once

#include <QIcon>
#include <QString>

#include <memory>

namespace shell {

class IconProvider {
public:
    static IconProvider& Shared();

    // The icon of the file or folder itself (its type as the file system
    // and its content tell); a device node gets the optical-disc icon.
    int IndexForPath(const QString& path);
    // The icon of a type by extension alone (lower case, without "."); the
    // file need not exist.
    int IndexForExtension(const QString& extension);
    QIcon Icon(int index) const;
    // Icons fetched so far, for tests and benchmarks.
    int FetchCount() const;

    IconProvider();
    ~IconProvider();
    IconProvider(const IconProvider&) = delete;
    IconProvider& operator=(const IconProvider&) = delete;

private:
    struct Cache;
    std::unique_ptr<Cache> cache_;
};

}  // namespace shell

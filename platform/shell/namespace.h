// The namespace the file browser shows, from the desktop down: the desktop
// ("デスクトップ", the desktop folder) holds "ホーム" (the home folder) and
// "コンピュータ" (the drives), then the desktop folder's own folders and
// files; "コンピュータ" holds "ファイルシステム" ("/"), every mounted volume
// a user sees and each optical drive without a mounted medium. A display
// name never holds "/" (a volume label's "/" shows as "／"), so the names
// joined by "/" make a path that splits back unambiguously.
//
// The mount table is /proc/self/mountinfo; tests point it at a file of
// their own. Main thread.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QSocketNotifier;
class QTimer;

namespace shell {

inline constexpr char kDesktopName[] = "デスクトップ";
inline constexpr char kHomeName[] = "ホーム";
inline constexpr char kComputerName[] = "コンピュータ";
inline constexpr char kFileSystemName[] = "ファイルシステム";

struct ShellItem {
    // The fixed nodes sort first, in this order.
    enum class Special { None = 0, Desktop, Home, Computer, FileSystem, Volume, Drive };
    QString parsingName;   // the absolute path; a drive's device node; empty for "コンピュータ"
    QString displayName;
    QString device;        // a volume's or drive's device; empty for the rest
    Special special = Special::None;
    bool folder = false;
    bool link = false;     // a symbolic link
    bool refresh = false;  // listed anew at every expansion (links, optical, removable, network)
};

// The desktop folder: XDG_DESKTOP_DIR, "~/Desktop" when unset.
QString DesktopFolder();
ShellItem DesktopItem();

// The children of a folder item, unsorted; hidden items (a name that begins
// with ".") left out. A folder that cannot be read has none.
std::vector<ShellItem> Children(const ShellItem& folder);
// Whether a folder item holds at least one item for which `counts` is true,
// stopping at the first.
bool AnyChild(const ShellItem& folder, const std::function<bool(const ShellItem&)>& counts);
// Whether the item can be listed as a folder.
bool CanList(const ShellItem& item);
// The browser's order: the fixed nodes, folders before files, then names
// by the user's locale, ignoring case, numbers as numbers. Negative, 0 or positive.
int CompareItems(const ShellItem& a, const ShellItem& b);

// ---- volumes ----
struct Volume {
    QString mountPoint;   // empty for an optical drive without a mounted medium
    QString device;       // the mount's source, or the drive's node
    QString name;         // display name
    bool optical = false;
    bool removable = false;
    bool network = false;
};
// The volumes of "コンピュータ" after "ファイルシステム", in mount order, the
// empty optical drives last.
std::vector<Volume> Volumes();
ShellItem ItemOf(const Volume& volume);
// The mount table read in place of /proc/self/mountinfo; empty restores it.
void SetMountTable(const QString& path);

// Watches the mount table (and the optical drives' media once a second)
// and tells what changed.
class MountWatcher : public QObject {
    Q_OBJECT
public:
    explicit MountWatcher(QObject* parent = nullptr);
    ~MountWatcher() override;
    // Compares the volumes with those last seen and signals the changes.
    void Check();

signals:
    // A volume came; `medium` when it is a medium in an optical drive.
    void Arrived(bool medium);
    // A volume went: its mount point (empty for a drive's medium).
    void Removed(const QString& mountPoint, bool medium);

private:
    std::vector<Volume> seen_;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* poll_ = nullptr;
    int fd_ = -1;
};

}  // namespace shell

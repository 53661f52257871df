// The commands that run a dialog of the tool windows for one use: the
// options, the address to open, and the folder search.
#include "player/ZoMain.h"

#include "platform/paths/paths.h"
#include "player/tools/TDlgInputURL.h"
#include "player/tools/TDlgSerch.h"
#include "player/tools/TOKBottomDlg.h"
#include "player/units/Folderscan.h"
#include "player/units/Zodlg.h"

#include <QLineEdit>

#include <algorithm>
#include <climits>

void TZoMain::NPropertyClick()
{
    TOKBottomDlg dialog(this, this, *this);
    dialog.exec();
}

void TZoMain::InputURL1Click()
{
    TDlgInputURL dialog(this);
    dialogOpen_ = true;
    const bool ok = dialog.exec() == QDialog::Accepted;
    dialogOpen_ = false;
    const QString address = dialog.Edit1()->text();
    if (ok && !address.isEmpty()) OpenUrl(address);
}

namespace {

// GetSerchFolder's code: bit 0 set when "検索設定に従う" is clear, bit 1 when "サブフォルダも検索" is.
bool WithSubFolders(int code) { return (code & 2) == 0; }
bool FollowSearchKinds(int code) { return (code & 1) == 0; }

}  // namespace

void TZoMain::miFolderSerchClick()
{
    // One search at a time, and none inside an intake or a dialog: their
    // scans and loops run the event loop, which brings this command.
    if (IsScanning() || addingItems_ || dialogOpen_) return;
    QString folder;
    int code = -1;
    {
        TZodlgLibrary library;
        const auto getFolder = library.Find<GetSerchFolderProc>("GetSerchFolder");
        if (!getFolder) return;
        // The chooser starts at the playing file's folder.
        QByteArray buffer(ZODLG_FOLDER_BUFFER_SIZE, '\0');
        if (IsExistingFile(item_.Path)) {
            const QByteArray start = ExtractFileDir(item_.Path).toUtf8();
            if (start.size() < ZODLG_FOLDER_BUFFER_SIZE) std::copy(start.begin(), start.end(), buffer.begin());
        }
        dialogOpen_ = true;
        code = getFolder(buffer.data());
        dialogOpen_ = false;
        if (code == -1) return;
        folder = QString::fromUtf8(buffer.constData());
    }
    if (!IsExistingFolder(folder)) return;
    // A disc's list holds its chapters or tracks: the files take its place.
    if (dvd_.Mode || cdPlayer_) {
        CloseMedia();
        UpdateControlsForMedia(false);
    }
    const bool nothingPlays = playState_ == psNothing || playState_ == psStopped;
    const int firstNew = playList_.Count();

    ScanScope scope(this);
    addingItems_ = true;
    SetScanGoesOn(true);
    {
        TDlgSerch search(*this, this);
        if (!FollowSearchKinds(code)) search.FollowExtensionList(ReadExtensionList());
        TPlayListModel::Batch batch(playList_);
        if (search.SearchFolder(folder) && WithSubFolders(code)) {
            const QStringList subFolders = ScanFolder(folder, [this] {
                ScanEvents();
                return ScanGoesOn();
            });
            for (const QString& sub : subFolders) {
                if (!ScanGoesOn() || !search.SearchFolder(sub)) break;
            }
        }
    }
    SetScanGoesOn(false);
    addingItems_ = false;
    // Not for a window that closed meanwhile (its closing stopped the search).
    if (nothingPlays && playList_.Count() > firstNew && isVisible()) {
        playList_.SetListIndex(firstNew);
        PlayListItem(false, false);
    }
}

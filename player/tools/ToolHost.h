// What the tool windows see of the main window: its operations on the play
// list and the playing item, the state they read and set, its settings and
// the menus they rebuild. A tool window gets an IToolHost& when it is made
// and includes nothing of the main window's own; the main window implements
// it. Main thread only.
//
// Units as in the rest of the player: graph positions in 100 ns, bookmark
// positions in hundredths of a second.
#pragma once

#include "platform/wintypes.h"
#include "player/tools/ToolNotice.h"

#include <QImage>
#include <QRect>
#include <QString>

#include <array>
#include <memory>

class QWidget;
class TPlayListModel;
typedef struct _GstElement GstElement;
class CVMR9MIXER;
struct TMainSettings;
struct TMouseActions;
struct TOpenedItem;
namespace media {
class ColorControl;
class FilterGraph;
}
namespace bookmarks {
class IBookmarkMenu;
}

// The tool windows the main window keeps one of each.
enum class TToolWindow { Capture, PlayListEditor, LibraryEditor, FileBrowser, Bookmarks, Countdown };

class IToolHost {
public:
    // ---- the play list: one model, shared with every window that shows it ----
    virtual TPlayListModel& PlayList() = 0;
    virtual int ListIndex() const = 0;
    // The current entry; the library sets it before it asks for the entry to play.
    virtual void SetListIndex(int index) = 0;
    // Sorts by `key` (the list menu's sort keys); the current entry stays current.
    virtual void SortPlayList(int key) = 0;

    // ---- opening and playing ----
    // A media file joins the list; a list file brings its entries.
    virtual void AddPathOrPlayList(const QString& path) = 0;
    // Plays the list's current entry (sortFirst: by the kept sort key first).
    virtual void PlayListItem(bool sortFirst, bool keepFirst) = 0;
    // Opens one path at once, whatever the list holds.
    virtual void OpenFileActivated(const QString& path) = 0;
    // The DVD in ViewerPath (or the default drive) starts.
    virtual void StartDvd() = 0;
    virtual void CloseMedia() = 0;
    // The player switches between file, DVD and CD mode: the list empties.
    virtual void UpdateControlsForMedia(bool resetWindow) = 0;
    virtual void TogglePlayPause() = 0;
    // "ファイルがありません" where the window shows such notices.
    virtual void ShowNoFileNotice() = 0;
    virtual void UpdateCaption(const QString& title) = 0;
    // A short text in the status label for 2 seconds.
    virtual void ShowStatusText(const QString& text) = 0;
    // Posts WM_TOOLNOTIFY: a closing window, or the library's request.
    virtual void PostToolNotice(ToolNotice notice, LPARAM code) = 0;

    // ---- what is open ----
    virtual int PlayState() const = 0;
    virtual const TOpenedItem& Item() const = 0;
    virtual bool DvdMode() const = 0;
    virtual bool DvdPlaying() const = 0;
    virtual bool CdOpen() const = 0;
    virtual bool HasRealControl() const = 0;
    // The whole name of the drive whose audio CD is open; empty when none.
    virtual QString OpenDriveLetter() const = 0;
    // The open file's last-write stamp, which keys its bookmark block.
    virtual int FileStamp() const = 0;
    // The file graph while a file plays, else null; owned by the main window.
    virtual media::FilterGraph* Graph() const = 0;

    // ---- the main window's state the tool windows read and set ----
    virtual bool DialogOpen() const = 0;
    virtual void SetDialogOpen(bool open) = 0;
    // Paths are being taken: drops, second starts and the library's clicks wait.
    virtual bool AddingItems() const = 0;
    virtual void SetAddingItems(bool adding) = 0;
    virtual QString ViewerPath() const = 0;
    virtual void SetViewerPath(const QString& path) = 0;
    virtual QString OpenedPath() const = 0;
    virtual void SetOpenedPath(const QString& path) = 0;
    // A folder search goes on while set; its window's stop button clears it.
    virtual bool ScanGoesOn() const = 0;
    virtual void SetScanGoesOn(bool on) = 0;
    // The command running now came from a key (a held key must not repeat it).
    virtual bool CalledByKey() const = 0;
    // The next entry opens without bringing the main window forward.
    virtual void SetKeepInBackground(bool on) = 0;

    // ---- the main window itself ----
    // The owner of the tool windows, and what they are placed by.
    virtual QWidget* HostWindow() = 0;
    virtual bool IsFullScreen() const = 0;
    // Always-on-top again as the user set it (a shell window may have covered it).
    virtual void ApplyAlwaysOnTop() = 0;
    // The pointer stays visible in full screen while a menu of a tool is open.
    virtual void KeepPointerVisible() = 0;
    virtual QWidget* ViewPanel() = 0;
    // The picture's rectangle in the view panel.
    virtual QRect VideoRect() const = 0;

    // ---- the media library windows ----
    // The kind the next library window is made as: 0 library, 1 folders, 2 play list.
    virtual int ViewerKind() const = 0;
    // The play-list viewer's width once measured; 0 until then.
    virtual int ListViewerWidth() const = 0;
    virtual void SetListViewerWidth(int width) = 0;
    // The folder viewer's row the user last chose; 0 when none.
    virtual int RememberedFolderRow() const = 0;
    virtual void SetRememberedFolderRow(int row) = 0;

    // ---- the list editor ----
    // The mode the next list editor is made in: 0 play list, 1 library, 2 folder library.
    virtual int ListEditMode() const = 0;
    // The library editor in mode 1 or 2, made when none is open, and shown.
    virtual void ShowLibraryEditor(int mode) = 0;
    // The shortcut code of one of the main window's menu items (0 none).
    virtual WORD MenuShortCut(const char* item) const = 0;

    // ---- the other tool windows ----
    virtual void MiListEditClick() = 0;
    virtual void MiFileBrowserClick() = 0;
    virtual void MiCaptureClick() = 0;
    // The list editor with the list file `path` open in it.
    virtual void OpenListInEditor(const QString& path) = 0;
    virtual bool ToolWindowOpen(TToolWindow window) const = 0;
    // That window while it is open, else null.
    virtual QWidget* OpenToolWindow(TToolWindow window) const = 0;
    // Activates that window; false when it is not open.
    virtual bool FocusToolWindow(TToolWindow window) = 0;
    virtual void FocusMainWindow() = 0;

    // ---- settings ----
    virtual const TMainSettings& Settings() const = 0;
    virtual TMainSettings& MutableSettings() = 0;
    // The media file patterns of the open dialogs (Extension), read once and kept.
    virtual QString ReadExtensionList() = 0;
    virtual void ClearExtensionListCache() = 0;
    virtual void LoadShortcutKeys() = 0;
    virtual const TMouseActions& MouseActions() const = 0;
    virtual void SetMouseActions(const TMouseActions& actions) = 0;
    // New gesture sets: the DVD set is used while a DVD is open (the file
    // set then waits for the DVD's end), else the file set.
    virtual void SetMouseActionSets(const TMouseActions& file, const TMouseActions& dvd) = 0;
    // The arrow items hold the DVD menu's arrow keys: `UseArrowKeyInMenu` may not change now.
    virtual bool ArrowKeyLocked() const = 0;
    // The keys of the first five colour presets of both preset menus.
    virtual void SetColorPresetShortcuts(const std::array<DWORD, 5>& codes) = 0;

    // ---- bookmarks and repeat sections: the menus the bookmark editor changes ----
    virtual bookmarks::IBookmarkMenu& FileBookmarkMenu() = 0;
    virtual bookmarks::IBookmarkMenu& SectionMenu() = 0;
    virtual bookmarks::IBookmarkMenu& DvdBookmarkMenu() = 0;
    virtual QString BookmarkFilePath() const = 0;
    virtual QString DvdDiscFolder() const = 0;
    virtual void LoadBookmarkList() = 0;
    virtual void SaveBookmarkList(bool removeOnly) = 0;
    virtual bool AddBookmarkAtPosition() = 0;
    virtual void BookmarkItemClick(int index) = 0;
    virtual void RepeatSectionClick(int index) = 0;
    virtual bool MakeDvdBookmark() = 0;
    // The make-bookmark command's key code (keys.h); 0 for none.
    virtual WORD MakeBookmarkShortCut() const = 0;
    // name empty: the disc's resume point; else that bookmark file.
    virtual void LoadResumePoint(const QString& name, bool noQuestion) = 0;
    virtual void LoadDvdSections() = 0;
    virtual bool SaveDvdSections(bool removeOnly) = 0;

    // ---- picture colour: the colour window's objects and the preset menus ----
    // The overlay renderer's colour stage; null with another renderer.
    virtual std::shared_ptr<media::ColorControl> ColorControl() const = 0;
    virtual HRESULT GetSurfaceColorControl(std::shared_ptr<media::ColorControl>* control) = 0;
    // The windowless-9 renderer's picture controls; null with another renderer.
    virtual CVMR9MIXER* Vmr9Mixer() = 0;
    // The colour window confirmed values the main window must put back later.
    virtual void SetColorApplied() = 0;
    // The colour window changed the presets: the preset menus are built again.
    virtual void ColorPresetsChanged() = 0;

    // ---- the filter list ----
    // The audio-stream menu's item count while it is shown (the media have
    // several audio streams), else 0.
    virtual int AudioStreamItems() const = 0;
    // The pipeline of the playing file, or of the DVD, borrowed and only to
    // be read; null when neither is built.
    virtual GstElement* PlayingPipeline() const = 0;
    // The picture's size and aspect: the RealMedia control's report when it
    // made one, else the graph's; false when neither is known.
    virtual bool VideoFormatSize(int* width, int* height, int* aspectX, int* aspectY) const = 0;
    // ---- picture capture ----
    // The aspect lock is off: the picture takes the window's shape.
    virtual bool AspectUnlocked() const = 0;
    // The RealMedia player's current frame; null without one.
    virtual QImage RealMediaPicture() const = 0;
    // The DVD's current frame as BGR888; E_FAIL without a DVD or a picture.
    virtual HRESULT GrabDvdPicture(QImage* picture) = 0;
    // Builds the file graph again for capture, as the capture window's
    // method needs it (the window's GraphNeeds), and puts it back where it
    // was: position, rate, the chosen audio stream, volume, paused unless it
    // was playing; the window keeps its size. The grabber's method (2) also
    // clears the A-B selection. Sets CaptureRebuiltGraph, so that the graph
    // is built plainly again when the window closes.
    virtual HRESULT RebuildGraphForCapture(int method) = 0;
    // The file graph was built with the capture decoders the window asked for.
    virtual bool CaptureDecodersInGraph() const = 0;
    // After a preparation: the flip menu shown or hidden as the method
    // allows, and, when the graph was built again, the aspect item checked
    // anew and the renderer's aspect mode reset.
    virtual void CapturePrepared(bool flipMenuVisible, bool rebuilt) = 0;
    // Without a file graph, while the RealMedia player plays: the clip is
    // closed and opened again at its position behind the hidden black
    // picture, paused again when it was not playing. E_FAIL when the
    // hidden picture cannot run.
    virtual HRESULT CaptureWithoutGraph() = 0;

protected:
    ~IToolHost() = default;
};

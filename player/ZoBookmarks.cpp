// Bookmarks and A-B repeat sections of the open file: the two sub-menus
// (MiBookMrk, miSaveAB) as the commands' menus, the window as their host,
// "Bookmarks.bmk" in ListFiles, and the seek bar's selection.
#include "player/ZoMain.h"

#include "platform/dvd/navigator.h"
#include "platform/paths/paths.h"
#include "player/tools/TBookmarkDlg.h"
#include "player/units/Bookmarkfile.h"
#include "player/units/Seekselection.h"
#include "player/units/Shortcuts.h"
#include "ui_ZoMain.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QSlider>

namespace {

using bookmarks::IBookmarkMenu;
using bookmarks::kFirstEntry;

// A sub-menu of the window as the commands' menu. An entry's tag is a 64-bit
// value kept on its action; a section's end is a hidden action, so that
// indexes count as the commands count them.
class TActionMenu : public IBookmarkMenu {
public:
    TActionMenu(QMenu* menu, std::function<void(int)> click) : menu_(menu), click_(std::move(click)) {}
    int Count() const override { return static_cast<int>(menu_->actions().size()); }
    QString Caption(int index) const override
    {
        const QAction* item = menu_->actions().value(index);
        return item ? item->text() : QString();
    }
    std::int64_t ItemTag(int index) const override
    {
        const QAction* item = menu_->actions().value(index);
        return item ? item->property("Tag").toLongLong() : 0;
    }
    bool IsVisible(int index) const override
    {
        const QAction* item = menu_->actions().value(index);
        return item && item->isVisible();
    }
    void Insert(int index, const QString& caption, std::int64_t tag, bool visible) override
    {
        // Owned by the menu: DeleteMenuItemsFrom frees it.
        auto* item = new QAction(caption, menu_);
        item->setProperty("Tag", QVariant::fromValue<qlonglong>(tag));
        item->setVisible(visible);
        QObject::connect(item, &QAction::triggered, menu_, [this, item] {
            const int at = static_cast<int>(menu_->actions().indexOf(item));
            if (at >= 0 && click_) click_(at);
        });
        const QList<QAction*> items = menu_->actions();
        menu_->insertAction(index < items.size() ? items.at(index) : nullptr, item);
    }
    void RemoveFrom(int first) override { DeleteMenuItemsFrom(menu_, first); }

private:
    QMenu* menu_;
    std::function<void(int)> click_;
};

}  // namespace

struct TZoMain::TBookmarkParts {
    // The window as the commands see it.
    class Host : public bookmarks::IBookmarkHost {
    public:
        explicit Host(TZoMain* w) : w_(w) {}
        bookmarks::TMediaKind Kind() const override
        {
            using bookmarks::TMediaKind;
            if (w_->dvd_.Mode) return TMediaKind::Dvd;
            if (w_->cd_.Open) return TMediaKind::Cd;
            if (w_->HasRealControl() && w_->item_.Rendered) return TMediaKind::RealMedia;
            if (w_->graph_ && w_->item_.Rendered) return TMediaKind::Graph;
            return TMediaKind::None;
        }
        bool Unseekable() const override { return w_->item_.NoDuration || w_->item_.StillPicture; }
        HRESULT SeekTo(REFERENCE_TIME position, const REFERENCE_TIME* stop) override
        {
            if (!w_->graph_) return E_FAIL;
            // Accurate: a section starts at its A, not at a key frame beside it.
            REFERENCE_TIME start = std::max<REFERENCE_TIME>(position, 0);
            REFERENCE_TIME end = stop ? *stop : 0;
            return w_->graph_->SetPositions(&start, media::AM_SEEKING_AbsolutePositioning, stop ? &end : nullptr,
                                            stop ? media::AM_SEEKING_AbsolutePositioning
                                                 : media::AM_SEEKING_NoPositioning);
        }
        HRESULT GetCurrentPosition(REFERENCE_TIME* position) override
        {
            return w_->graph_ ? w_->graph_->GetCurrentPosition(position) : E_FAIL;
        }
        HRESULT GetStopPosition(REFERENCE_TIME* stop) override
        {
            return w_->graph_ ? w_->graph_->GetStopPosition(stop) : E_FAIL;
        }
        HRESULT ClearStopPosition() override
        {
            if (!w_->graph_) return E_FAIL;
            REFERENCE_TIME now = 0;
            if (FAILED(w_->graph_->GetCurrentPosition(&now))) return E_FAIL;
            REFERENCE_TIME end = w_->item_.Duration;
            return w_->graph_->SetPositions(&now, media::AM_SEEKING_AbsolutePositioning, &end,
                                            media::AM_SEEKING_AbsolutePositioning);
        }
        // A RealMedia clip's length counts milliseconds, as its control does.
        REFERENCE_TIME Duration() const override
        {
            return w_->HasRealControl() ? w_->RealDuration() : w_->item_.Duration;
        }
        std::int64_t RealPosition() override { return w_->HasRealControl() ? w_->RealControlPosition() : 0; }
        void SetRealPosition(std::int64_t milliseconds) override { w_->SetRealControlPosition(milliseconds); }
        bool DvdCommandPending() const override { return w_->dvd_.CommandPending; }
        bool DvdLocation(int* title, int* seconds) override
        {
            dvd::Navigator* navigator = w_->DvdControl();
            dvd::Location location;
            if (!navigator || FAILED(navigator->GetCurrentLocation(&location))) return false;
            *title = int(location.title);
            *seconds = int(location.time.TotalSeconds());
            return true;
        }
        HRESULT DvdPlayAtTime(int hours, int minutes, int seconds) override
        {
            dvd::Navigator* navigator = w_->DvdControl();
            if (!navigator) return E_FAIL;
            const dvd::HmsfTime time{BYTE(hours), BYTE(minutes), BYTE(seconds), 1};
            return navigator->PlayAtTime(time, dvd::DVD_CMD_FLAG_Flush | dvd::DVD_CMD_FLAG_SendEvents |
                                                   dvd::DVD_CMD_FLAG_Block);
        }
        void DvdBookmarkClick(int index) override
        {
            w_->DvdBookmarkClick(w_->ui_->MIDVDBookmark->actions().value(index));
        }
        bool SaveDvdSections(bool removeOnly) override { return w_->SaveDvdSections(removeOnly); }
        int BarPosition() const override { return w_->ui_->TrackBarForSeek->value(); }
        int BarMax() const override { return w_->ui_->TrackBarForSeek->maximum(); }
        bool IsPlaying() const override { return w_->playState_ == psPlaying; }
        void SetPlaying() override
        {
            if (w_->graph_) w_->graph_->Run();
            else if (w_->HasRealControl()) w_->RealControlPlay();
            w_->SetPlayState(psPlaying);
        }
        void ShowStatus(const QString& text) override
        {
            if (w_->settings_.ShowStatus) w_->ShowStatusText(text);
        }
        void SaveBookmarkList(bool removeOnly) override { w_->SaveBookmarkList(removeOnly); }
        void SectionStateChanged() override { w_->ApplySectionState(); }

    private:
        TZoMain* w_;
    };

    explicit TBookmarkParts(TZoMain* w)
        : host(w),
          bookmarkMenu(w->ui_->MiBookMrk, [w](int index) { w->BookmarkItemClick(index); }),
          sectionMenu(w->ui_->miSaveAB, [w](int index) { w->RepeatSectionClick(index); }),
          dvdBookmarkMenu(w->ui_->MIDVDBookmark, [this](int index) { host.DvdBookmarkClick(index); }),
          commands(host, bookmarkMenu, sectionMenu, dvdBookmarkMenu),
          selection(new TSeekSelection(w->ui_->TrackBarForSeek))
    {
    }
    Host host;
    TActionMenu bookmarkMenu;
    TActionMenu sectionMenu;
    TActionMenu dvdBookmarkMenu;
    bookmarks::TBookmarkCommands commands;
    TSeekSelection* selection;   // a child of the seek bar
    // The entries of the open file as the menus held them when they were
    // loaded or last saved, and that block's header: a save writes what
    // changed since, so another window's entries of the same file stay.
    QByteArray loadedHeader;
    bookmarks::TBlock loaded;
};

void TZoMain::TBookmarkPartsDeleter::operator()(TBookmarkParts* parts) const { delete parts; }

TZoMain::TBookmarkParts& TZoMain::BookmarkParts()
{
    if (!bookmarkParts_) bookmarkParts_.reset(new TBookmarkParts(this));
    return *bookmarkParts_;
}

bookmarks::IBookmarkMenu& TZoMain::DvdBookmarkMenu() { return BookmarkParts().dvdBookmarkMenu; }

bookmarks::IBookmarkMenu& TZoMain::SectionMenu() { return BookmarkParts().sectionMenu; }

bookmarks::IBookmarkMenu& TZoMain::FileBookmarkMenu() { return BookmarkParts().bookmarkMenu; }

void TZoMain::ConnectBookmarkHandlers()
{
    // MiBookMrk's Tag says whether bookmarks are in use.
    SetTag(ui_->MiBookMrk->menuAction(), settings_.UseBookmark ? 1 : 0);
    BookmarkParts().commands.SetUseBookmark(settings_.UseBookmark);
    connect(ui_->miSavePoints, &QAction::triggered, this, [this] { miSavePointsClick(); });
    connect(ui_->miChainSections, &QAction::triggered, this, [this] { miChainSectionsClick(); });
    ApplySectionState();
}

void TZoMain::ApplySectionState()
{
    TBookmarkParts& parts = BookmarkParts();
    const bookmarks::TSectionState& state = parts.commands.State();
    parts.selection->SetSelection(state.RepeatOn, state.SelStart, state.SelEnd);
    ui_->miSavePoints->setEnabled(state.SavePointsEnabled);
    ui_->miChainSections->setChecked(state.ChainChecked);
    ui_->miChainSections->setEnabled(parts.commands.ChainEnabled());
    SetTag(ui_->miChainSections, state.ChainIndex);
}

bool TZoMain::RepeatOn() const { return bookmarkParts_ && bookmarkParts_->commands.State().RepeatOn; }

const bookmarks::TSectionState& TZoMain::SectionState() const
{
    static const bookmarks::TSectionState none;
    return bookmarkParts_ ? bookmarkParts_->commands.State() : none;
}

QString TZoMain::BookmarkFilePath() const
{
    return GetListFilesFolder() + QLatin1String(bookmarks::kBookmarkFileName);
}

// ---- the file's block ----

void TZoMain::SaveBookmarkList(bool removeOnly)
{
    // With bookmarks off nothing is written.
    if (Tag(ui_->MiBookMrk->menuAction()) == 0) return;
    QMenu* marks = ui_->MiBookMrk;
    QMenu* sections = ui_->miSaveAB;
    if (marks->actions().size() <= kFirstEntry && sections->actions().size() <= kFirstEntry && !removeOnly) return;
    if (!playList_.IsValidIndex(playList_.ListIndex()) || FileStamp() == -1) return;
    const QString folder = GetListFilesFolder();
    if (!IsExistingFolder(folder)) return;
    const bookmarks::CBookmarkFile file(folder + QLatin1String(bookmarks::kBookmarkFileName));
    const QByteArray header = bookmarks::BlockHeader(playList_.Item(playList_.ListIndex()).Path, FileStamp());
    TBookmarkParts& parts = BookmarkParts();
    bookmarks::TBlock block;
    if (!removeOnly) {
        for (int i = kFirstEntry; i < parts.bookmarkMenu.Count(); ++i)
            block.Bookmarks.push_back({parts.bookmarkMenu.Caption(i), parts.bookmarkMenu.ItemTag(i)});
        const IBookmarkMenu& menu = parts.sectionMenu;
        for (int i = kFirstEntry; i + 1 < menu.Count(); ++i) {
            if (!menu.IsVisible(i) || menu.IsVisible(i + 1)) continue;
            block.Sections.push_back({menu.Caption(i), menu.ItemTag(i), menu.ItemTag(i + 1)});
            ++i;
        }
    }
    if (parts.loadedHeader != header) parts.loaded = {};
    if (file.Update(header, parts.loaded, block) == 0) {
        parts.loadedHeader = header;
        parts.loaded = std::move(block);
    }
    ApplySectionState();
}

void TZoMain::LoadBookmarkList()
{
    TBookmarkParts& parts = BookmarkParts();
    parts.bookmarkMenu.RemoveFrom(kFirstEntry);
    parts.sectionMenu.RemoveFrom(kFirstEntry);
    parts.loadedHeader.clear();
    parts.loaded = {};
    if (Tag(ui_->MiBookMrk->menuAction()) != 0 && playList_.IsValidIndex(playList_.ListIndex()) &&
        FileStamp() != -1) {
        const bookmarks::CBookmarkFile file(BookmarkFilePath());
        const QByteArray header = bookmarks::BlockHeader(playList_.Item(playList_.ListIndex()).Path, FileStamp());
        if (const std::optional<bookmarks::TBlock> block = file.Load(header)) {
            for (const bookmarks::TBookmark& mark : block->Bookmarks)
                parts.bookmarkMenu.Insert(parts.bookmarkMenu.Count(), mark.Caption, mark.Position, true);
            for (const bookmarks::TSection& section : block->Sections) {
                parts.sectionMenu.Insert(parts.sectionMenu.Count(), section.Name, section.Start, true);
                parts.sectionMenu.Insert(parts.sectionMenu.Count(), QString(), section.End, false);
            }
            parts.loadedHeader = header;
            parts.loaded = *block;
        }
    }
    ApplySectionState();
}

void TZoMain::ShowBookmarkMenus()
{
    if (!settings_.UseBookmark || item_.StillPicture || item_.Duration <= 0) return;
    ui_->MiBookMrk->menuAction()->setVisible(true);
    ui_->miSaveAB->menuAction()->setVisible(true);
    LoadBookmarkList();
    // While the bookmark editor is open it owns the entries.
    const bool editing = BookmarkWindow != nullptr;
    ui_->MiBookMrk->setEnabled(!editing);
    ui_->miSaveAB->setEnabled(!editing);
    ui_->MiBookMrk->menuAction()->setEnabled(!editing);
    ui_->miSaveAB->menuAction()->setEnabled(!editing);
    if (auto* editor = qobject_cast<TBookmarkDlg*>(BookmarkWindow.data())) editor->Refresh();
}

void TZoMain::ClearBookmarkMenus(bool hide)
{
    TBookmarkParts& parts = BookmarkParts();
    parts.bookmarkMenu.RemoveFrom(kFirstEntry);
    parts.sectionMenu.RemoveFrom(kFirstEntry);
    parts.loadedHeader.clear();
    parts.loaded = {};
    // The section goes with its media.
    parts.commands.Reset();
    if (hide) {
        for (QMenu* menu : {ui_->MiBookMrk, ui_->miSaveAB}) {
            menu->setEnabled(false);
            menu->menuAction()->setEnabled(false);
            menu->menuAction()->setVisible(false);
        }
    }
    ApplySectionState();
}

// ---- sections ----

void TZoMain::SetSectionStart(int barPosition) { BookmarkParts().commands.SetSectionStart(barPosition); }

void TZoMain::SetSectionEnd() { BookmarkParts().commands.SetSectionEnd(); }

void TZoMain::ClearSelection() { BookmarkParts().commands.ClearSelection(); }

void TZoMain::SelTrackSClick() { SetSectionStart(ui_->TrackBarForSeek->value()); }

void TZoMain::SelTrackEClick() { SetSectionEnd(); }

void TZoMain::SelTrackCClick() { ClearSelection(); }

void TZoMain::CheckSectionLoop() { BookmarkParts().commands.CheckSectionLoop(); }

bool TZoMain::SectionComplete() { return BookmarkParts().commands.SectionComplete(); }

void TZoMain::CheckRealMediaSectionLoop(int barPosition)
{
    BookmarkParts().commands.CheckRealMediaLoop(barPosition);
}

void TZoMain::miSavePointsClick() { BookmarkParts().commands.SavePoints(); }

void TZoMain::miSaveSectionClick()
{
    if (KeyLatch) return;
    miSavePointsClick();
    KeyLatch = 1;
}

bool TZoMain::SaveSection() { return BookmarkParts().commands.SaveSection(); }

void TZoMain::RepeatSectionClick(int index) { BookmarkParts().commands.RepeatSectionClick(index); }

bool TZoMain::PlaySection(int index) { return BookmarkParts().commands.PlaySection(index); }

void TZoMain::miChainSectionsClick()
{
    BookmarkParts().commands.ChainSectionsClick();
    if (settings_.ShowStatus) AppendOnOffText(ui_->miChainSections, true);
}

void TZoMain::ChainNextDvdSection() { BookmarkParts().commands.ChainNextSection(); }

void TZoMain::miChainABSCClick()
{
    if (KeyLatch) return;
    if (ui_->miChainSections->isEnabled()) miChainSectionsClick();
    KeyLatch = 1;
}

// ---- bookmarks ----

bool TZoMain::AddBookmarkAtPosition() { return BookmarkParts().commands.AddBookmarkAtPosition(); }

void TZoMain::miMakeBkmrkClick()
{
    if (dvd_.Mode) {
        if (MakeDvdBookmark() && settings_.ShowStatus) ShowStatusText(QStringLiteral("ブックマーク作成"));
        return;
    }
    if (Tag(ui_->MiBookMrk->menuAction()) == 0) return;
    if (AddBookmarkAtPosition() && settings_.ShowStatus) ShowStatusText(QStringLiteral("ブックマーク作成"));
}

void TZoMain::BookmarkItemClick(int index) { BookmarkParts().commands.BookmarkClick(index); }

void TZoMain::JumpToBookmark(bool forward) { BookmarkParts().commands.JumpToBookmark(forward); }

void TZoMain::miNextBmkClick() { JumpToBookmark(true); }

void TZoMain::miPreviousBmkClick() { JumpToBookmark(false); }

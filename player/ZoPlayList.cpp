// The window's side of the play list: adding paths and lists, choosing and
// opening entries, stepping, and what happens when an entry cannot be played.
#include "player/ZoMain.h"

#include "platform/paths/paths.h"
#include "player/tools/TMediaViewer.h"
#include "player/units/Ccdplay.h"
#include "player/units/Clistsort.h"
#include "player/units/Entrytitle.h"
#include "ui_ZoMain.h"

#include <QAction>
#include <QLabel>
#include <QToolButton>

QString TZoMain::EntryTitle(int index) const
{
    return playList_.IsValidIndex(index) ? playList_.Item(index).Title : QString();
}

void TZoMain::AddFileToList(const QString& path)
{
    TPlayListItem item;
    item.Path = path;
    item.Title = MakeEntryTitle(path, settings_.ShowExtension, settings_.ReadID3v2);
    playList_.Add(item, appendToList_, ui_->MShuffle->isChecked());
}

void TZoMain::AddPathOrPlayList(const QString& path)
{
    const QString ext = GetFileExtension(path);
    if (ext == QLatin1String("exe")) return;
    const int kind = ListKindForExtension(ext);
    if (kind >= 0) {
        // A list file may hold 100,000 entries: they reach the views at once.
        TPlayListModel::Batch batch(playList_);
        CReadList reader(this);
        reader.Read(path, kind);
        return;
    }
    AddFileToList(path);
}

void TZoMain::SortPlayList(int key)
{
    Clistsort::SetListSortKey(key);
    // The entries move, not the current one: ListIndex follows its entry.
    playList_.Sort();
}

void TZoMain::OpenEntry(int index)
{
    if (!playList_.IsValidIndex(index)) return;
    OpenFileActivated(playList_.Item(index).Path);
}

void TZoMain::PlayListItem(bool sortFirst, bool keepFirst)
{
    if (playList_.Count() > 1) {
        QString first;
        bool remembered = false;
        if (sortFirst) {
            if (keepFirst) {
                first = playList_.Item(0).Path;
                remembered = true;
            }
            const int key = settings_.KeepSortType ? KeptSortKey() : static_cast<int>(settings_.DefaultSort);
            if (key > 0) {
                // The caller's ListIndex says where in the sorted list to
                // start (the top, as a rule), not which entry to follow.
                const int start = playList_.ListIndex();
                SortPlayList(key);
                playList_.SetListIndex(start);
            }
        }
        if (ui_->MShuffle->isChecked()) {
            playList_.BuildShuffleOrder();
            if (playList_.HasShuffleOrder()) playList_.SetListIndex(playList_.ShuffleOrder().front());
        } else if (remembered) {
            int found = -1;
            for (int i = 0; i < playList_.Count(); ++i) {
                if (playList_.Item(i).Path == first) {
                    found = i;
                    break;
                }
            }
            if (found >= 0) {
                if (settings_.SetTopItem)
                    playList_.Move(found, 0);
                else
                    playList_.SetListIndex(found);
            }
        }
    }
    if (!playList_.IsValidIndex(playList_.ListIndex())) playList_.SetListIndex(0);
    OpenEntry(playList_.ListIndex());
}

void TZoMain::PlayNextFile()
{
    if (playList_.Count() < 2) return;
    if (!settings_.ActivateWindow) keepInBackground_ = true;
    playList_.StepNext(ui_->MShuffle->isChecked());
    // An audio CD stays open: the disc plays on from the entry's track.
    if (cdPlayer_) {
        cdPlayer_->PlayTrack(playList_.ListIndex() + 1);
        keepInBackground_ = false;
        return;
    }
    CloseMedia();
    const int index = playList_.ListIndex();
    OpenEntry(index);
    if (fullScreen_ && settings_.ShowStatus) ShowStatusText(EntryTitle(index));
    keepInBackground_ = false;
}

void TZoMain::PlayPreviousFile()
{
    if (playList_.Count() < 2) return;
    playList_.StepPrevious(ui_->MShuffle->isChecked());
    if (cdPlayer_) {
        cdPlayer_->PlayTrack(playList_.ListIndex() + 1);
        return;
    }
    CloseMedia();
    const int index = playList_.ListIndex();
    OpenEntry(index);
    if (fullScreen_ && settings_.ShowStatus) ShowStatusText(EntryTitle(index));
}

void TZoMain::ShowCannotPlay()
{
    // Moving on opens the next entry, which may fail too: the failures are
    // taken one after another here instead of nesting, so any number of
    // unplayable entries ends without exhausting the stack.
    if (inCannotPlay_) {
        cannotPlayAgain_ = true;
        return;
    }
    inCannotPlay_ = true;
    do {
        cannotPlayAgain_ = false;
        RemoveCurrentAndMoveOn();
    } while (cannotPlayAgain_);
    inCannotPlay_ = false;
    item_.Opening = false;
}

void TZoMain::RemoveCurrentAndMoveOn()
{
    if (playList_.IsEmpty()) {
        CloseMedia();
        UpdateControlsForMedia(true);
        setWindowTitle(QStringLiteral("Zoravel 再生できません"));
        return;
    }
    const bool shuffle = ui_->MShuffle->isChecked();
    const TPlayList::Direction direction = playList_.LastDirection();
    const int removed = playList_.ListIndex();
    const int left = playList_.RemoveCurrent(shuffle);
    if (auto* viewer = qobject_cast<TMediaViewer*>(ListViewer.data())) viewer->DeleteItem(removed);
    if (left > 1) {
        if (direction == TPlayList::Direction::Forward)
            PlayNextFile();
        else
            PlayPreviousFile();
        return;
    }
    CloseMedia();
    if (left == 1) {
        playList_.SetListIndex(0);
        OpenEntry(0);
        return;
    }
    DeleteToolWindow(CaptureWindow);
    if (fullScreen_) {
        ui_->LblTitle->setText(QStringLiteral("再生できません"));
    } else {
        UpdateControlsForMedia(true);
        setWindowTitle(QStringLiteral("Zoravel 再生できません"));
    }
}

void TZoMain::ShowNoFileNotice()
{
    if (fullScreen_) {
        ui_->LblTitle->setText(QStringLiteral("ファイルがありません"));
        return;
    }
    UpdateControlsForMedia(true);
    setWindowTitle(QStringLiteral("Zoravel ファイルがありません"));
}

void TZoMain::UpdateCaption(const QString& title)
{
    const int count = playList_.Count();
    if (count > 1 && ui_->MShuffle->isChecked()) {
        setWindowTitle(QString::asprintf("Zoravel [%d] %d/%d ", playList_.ShufflePosition() + 1,
                                         playList_.ListIndex() + 1, count) +
                       title);
    } else if (count > 1) {
        setWindowTitle(QString::asprintf("Zoravel %d/%d ", playList_.ListIndex() + 1, count) + title);
    } else {
        setWindowTitle(QStringLiteral("Zoravel - ") + title);
    }
}

void TZoMain::ClearPlayList() { playList_.Clear(); }

void TZoMain::ConnectPlayList()
{
    for (auto changed : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(&playList_, changed, this, [this] { FollowListInCaption(); });
    connect(&playList_, &QAbstractItemModel::modelReset, this, [this] { FollowListInCaption(); });
}

void TZoMain::FollowListInCaption()
{
    // The caption counts the entries ("Zoravel 2/10 title"): while an entry
    // plays, a change of the count shows at once. A step or an entry being
    // opened is left alone, since the opening sets the caption with the new
    // entry's title; a disc shows a caption of its own.
    if (playState_ == psNothing || item_.Opening || dvd_.Mode || cdPlayer_) return;
    if (!playList_.IsValidIndex(playList_.ListIndex())) return;
    ShowEntryCaption();
}

void TZoMain::ShowEntryCaption()
{
    if (item_.WindowsMedia && settings_.ReadWmvTag && !ui_->LblTitle->text().isEmpty())
        UpdateCaption(ui_->LblTitle->text());
    else
        UpdateCaption(EntryTitle(playList_.ListIndex()));
    // A RealMedia clip's title stands after the entry's.
    if (HasRealControl()) ShowRealTitle();
}

void TZoMain::MShuffleClick()
{
    if (ui_->MShuffle->isChecked()) {
        playList_.ClearShuffleOrder();
        ui_->MShuffle->setChecked(false);
    } else {
        playList_.BuildShuffleOrderFromCurrent();
        ui_->MShuffle->setChecked(true);
    }
    if (!playList_.IsEmpty()) ShowEntryCaption();
    if (settings_.ShowStatus) AppendOnOffText(ui_->MShuffle, true);
}

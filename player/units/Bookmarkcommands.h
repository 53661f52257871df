// The bookmark and repeat-section commands of the main window, apart from
// its widgets: the two sub-menus are seen through IBookmarkMenu, the media
// and the seek bar through IBookmarkHost, so that the commands run the same
// in the window and against a recording fake.
//
// Units: graph positions in 100 ns; menu tags in hundredths of a second
// (a DVD bookmark's tag is title x 1,000,000 + hours x 10,000 + minutes x 100
// + seconds); the seek bar and its selection in tenths of a second (a DVD's
// in whole seconds of title time); RealMedia positions in milliseconds.
#pragma once

#include "platform/wintypes.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace bookmarks {

// A sub-menu whose first three items are fixed commands and whose later
// items are stored entries: a bookmark is one item, a section a visible item
// (name, start) followed by a hidden item (end).
class IBookmarkMenu {
public:
    virtual ~IBookmarkMenu() = default;
    virtual int Count() const = 0;
    virtual QString Caption(int index) const = 0;
    virtual std::int64_t ItemTag(int index) const = 0;
    virtual bool IsVisible(int index) const = 0;
    // Inserts before `index` (Count() appends).
    virtual void Insert(int index, const QString& caption, std::int64_t tag, bool visible) = 0;
    // Removes every item from `first` on.
    virtual void RemoveFrom(int first) = 0;
};

// The first stored entry of either menu.
inline constexpr int kFirstEntry = 3;

// A menu of plain records (tests, and whatever needs a menu without widgets).
class TListMenu : public IBookmarkMenu {
public:
    struct Item {
        QString caption;
        std::int64_t tag = 0;
        bool visible = true;
    };
    TListMenu() : items_(kFirstEntry) {}
    int Count() const override { return static_cast<int>(items_.size()); }
    QString Caption(int index) const override { return items_.at(static_cast<size_t>(index)).caption; }
    std::int64_t ItemTag(int index) const override { return items_.at(static_cast<size_t>(index)).tag; }
    bool IsVisible(int index) const override { return items_.at(static_cast<size_t>(index)).visible; }
    void Insert(int index, const QString& caption, std::int64_t tag, bool visible) override
    {
        items_.insert(items_.begin() + index, Item{caption, tag, visible});
    }
    void RemoveFrom(int first) override
    {
        if (first < Count()) items_.resize(static_cast<size_t>(first));
    }

private:
    std::vector<Item> items_;
};

enum class TMediaKind { None, Graph, RealMedia, Dvd, Cd };

// What the commands need of the window.
class IBookmarkHost {
public:
    virtual ~IBookmarkHost() = default;
    virtual TMediaKind Kind() const = 0;
    // A Windows Media item without an index: it does not seek.
    virtual bool Unseekable() const = 0;
    // File graph.
    virtual HRESULT SeekTo(REFERENCE_TIME position, const REFERENCE_TIME* stop) = 0;
    virtual HRESULT GetCurrentPosition(REFERENCE_TIME* position) = 0;
    // The position where the graph ends the stream; the media's end when none is set.
    virtual HRESULT GetStopPosition(REFERENCE_TIME* stop) = 0;
    // Removes the stop: playback runs on to the end.
    virtual HRESULT ClearStopPosition() = 0;
    virtual REFERENCE_TIME Duration() const = 0;
    // RealMedia control.
    virtual std::int64_t RealPosition() = 0;
    virtual void SetRealPosition(std::int64_t milliseconds) = 0;
    // DVD navigator.
    virtual bool DvdCommandPending() const = 0;
    // The current title and its time in whole seconds; false when unknown.
    virtual bool DvdLocation(int* title, int* seconds) = 0;
    virtual HRESULT DvdPlayAtTime(int hours, int minutes, int seconds) = 0;
    virtual void DvdBookmarkClick(int index) = 0;
    virtual bool SaveDvdSections(bool removeOnly) = 0;
    // Seek bar (tenths of a second; a DVD's in seconds).
    virtual int BarPosition() const = 0;
    virtual int BarMax() const = 0;
    // Play state of the window (3 playing); SetPlaying runs what is paused.
    virtual bool IsPlaying() const = 0;
    virtual void SetPlaying() = 0;
    // A status text, shown only when the ShowStatus setting is on.
    virtual void ShowStatus(const QString& text) = 0;
    // The open file's block written again (or only removed).
    virtual void SaveBookmarkList(bool removeOnly) = 0;
    // The section state changed: the seek bar's selection, miSavePoints and
    // miChainSections follow it.
    virtual void SectionStateChanged() = 0;
};

// The active A-B section and the chain.
struct TSectionState {
    bool RepeatOn = false;
    REFERENCE_TIME SectionStart = 0;   // A point of a file graph (100 ns); RealMedia: ms
    REFERENCE_TIME SectionEnd = 0;     // B point of a file graph (100 ns), once marked
    int SelStart = 0;                  // seek bar, tenths (DVD: seconds)
    int SelEnd = 0;
    bool EndSet = false;               // B is marked: until then the section runs on from A
    bool SavePointsEnabled = false;
    bool ChainChecked = false;
    int ChainIndex = 0;                // index of the section played, counted from the first entry
};

class TBookmarkCommands {
public:
    TBookmarkCommands(IBookmarkHost& host, IBookmarkMenu& bookmarks, IBookmarkMenu& sections,
                      IBookmarkMenu& dvdBookmarks)
        : host_(host), bookmarks_(bookmarks), sections_(sections), dvdBookmarks_(dvdBookmarks)
    {
    }

    const TSectionState& State() const { return state_; }
    // Bookmarks in use (the UseBookmark setting, kept in MiBookMrk's Tag).
    void SetUseBookmark(bool on) { useBookmark_ = on; }
    bool UseBookmark() const { return useBookmark_; }
    // miChainSections is enabled with at least one stored section.
    bool ChainEnabled() const { return sections_.Count() >= 6; }

    // ---- sections ----
    void SetSectionStart(int barPosition);
    void SetSectionEnd();
    // Ends the section: the selection goes and a file graph plays on to its end.
    void ClearSelection();
    // The position display's check (every tick): a position outside the
    // section goes back to its start or, chained, to the next section.
    void CheckSectionLoop();
    // The graph's end of stream while a section is active; true when it was taken.
    bool SectionComplete();
    // The RealMedia position timer's check, at `barPosition`.
    void CheckRealMediaLoop(int barPosition);
    bool SavePoints();
    bool SaveSection();
    void RepeatSectionClick(int index);
    bool PlaySection(int index);
    void ChainSectionsClick();
    // The chain moves on to its next section (a DVD's time left the section).
    void ChainNextSection()
    {
        AdvanceChain();
        host_.SectionStateChanged();
    }

    // ---- bookmarks ----
    bool AddBookmarkAtPosition();
    void BookmarkClick(int index);
    void JumpToBookmark(bool forward);
    // Forgets the section (new media); the chain setting stays.
    void Reset()
    {
        const bool chain = state_.ChainChecked;
        state_ = TSectionState();
        state_.ChainChecked = chain;
    }

    // The first index from the first entry on whose tag lies above `value`
    // (Count() when none).
    static int FirstAbove(const IBookmarkMenu& menu, std::int64_t value);
    // A DVD bookmark tag as title and seconds of title time.
    static void SplitDvdTag(std::int64_t tag, int* title, int* seconds);

private:
    bool Seekable() const;
    void AdvanceChain();
    void SeekToSectionStart();
    void SetSelection(int start, int end);

    IBookmarkHost& host_;
    IBookmarkMenu& bookmarks_;
    IBookmarkMenu& sections_;
    IBookmarkMenu& dvdBookmarks_;
    TSectionState state_;
    bool useBookmark_ = true;
};

}  // namespace bookmarks

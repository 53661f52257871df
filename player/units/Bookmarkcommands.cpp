#include "units/Bookmarkcommands.h"

#include "units/Bookmarkfile.h"

#include <algorithm>

namespace bookmarks {

namespace {

constexpr REFERENCE_TIME kUnitsPerHundredth = 100'000;
// A position this far (tenths) outside the section is taken back into it.
constexpr int kLoopSlack = 5;
// Backward jumps skip a bookmark passed less than this long ago: files in
// hundredths, DVDs in seconds of title time.
constexpr std::int64_t kFileJumpMargin = 200;
constexpr int kDvdJumpMargin = 4;

}  // namespace

int TBookmarkCommands::FirstAbove(const IBookmarkMenu& menu, std::int64_t value)
{
    const int count = menu.Count();
    for (int i = kFirstEntry; i < count; ++i)
        if (menu.ItemTag(i) > value) return i;
    return count;
}

void TBookmarkCommands::SplitDvdTag(std::int64_t tag, int* title, int* seconds)
{
    *title = static_cast<int>(tag / 1'000'000);
    const std::int64_t time = tag % 1'000'000;
    *seconds = static_cast<int>(time / 10'000 * 3600 + time / 100 % 100 * 60 + time % 100);
}

bool TBookmarkCommands::Seekable() const
{
    const TMediaKind kind = host_.Kind();
    return kind != TMediaKind::None && kind != TMediaKind::Cd && !host_.Unseekable();
}

void TBookmarkCommands::SetSelection(int start, int end)
{
    state_.SelStart = start;
    state_.SelEnd = end;
}

// ---- sections ----

void TBookmarkCommands::SetSectionStart(int barPosition)
{
    if (!Seekable()) return;
    if (state_.RepeatOn && state_.EndSet && barPosition >= state_.SelEnd) return;
    if (host_.Kind() == TMediaKind::Graph) {
        if (barPosition < 1) {
            state_.SectionStart = 0;
            if (FAILED(host_.SeekTo(0, nullptr))) return;
        } else {
            // Where the picture is: the bar's value is only the last tick's.
            REFERENCE_TIME now = 0;
            if (FAILED(host_.GetCurrentPosition(&now))) return;
            state_.SectionStart = now;
        }
    } else if (host_.Kind() == TMediaKind::RealMedia) {
        state_.SectionStart = host_.RealPosition();
    }
    state_.SelStart = barPosition;
    if (!state_.RepeatOn) {
        state_.RepeatOn = true;
        state_.SelEnd = barPosition;
        state_.EndSet = false;
    }
    state_.SavePointsEnabled = true;
    host_.SectionStateChanged();
}

void TBookmarkCommands::SetSectionEnd()
{
    if (!Seekable()) return;
    const int position = host_.BarPosition();
    const bool active = state_.RepeatOn;
    // Without an A point the section runs from the start.
    if (!active) {
        state_.SectionStart = 0;
        state_.SelStart = 0;
    }
    if (position <= state_.SelStart) return;
    if (host_.Kind() == TMediaKind::Graph) {
        REFERENCE_TIME now = 0;
        if (FAILED(host_.GetCurrentPosition(&now))) return;
        // From A once more, and the stream ends at B: its end loops.
        if (now > state_.SectionStart && FAILED(host_.SeekTo(state_.SectionStart, &now))) return;
        state_.SectionEnd = now;
    }
    state_.SelEnd = position;
    state_.EndSet = true;
    state_.RepeatOn = true;
    if (useBookmark_) state_.SavePointsEnabled = true;
    host_.SectionStateChanged();
}

void TBookmarkCommands::ClearSelection()
{
    const bool wasOn = state_.RepeatOn;
    state_.RepeatOn = false;
    state_.EndSet = false;
    SetSelection(0, 0);
    state_.SavePointsEnabled = false;
    if (wasOn && host_.Kind() == TMediaKind::Graph) host_.ClearStopPosition();
    host_.SectionStateChanged();
}

void TBookmarkCommands::AdvanceChain()
{
    state_.ChainIndex = state_.ChainIndex + 5 < sections_.Count() ? state_.ChainIndex + 2 : 0;
    PlaySection(state_.ChainIndex + kFirstEntry);
}

void TBookmarkCommands::SeekToSectionStart()
{
    // A seek past B took the graph's stop away: it is given again with A.
    REFERENCE_TIME stop = 0;
    if (state_.EndSet && state_.SectionEnd > state_.SectionStart && SUCCEEDED(host_.GetStopPosition(&stop)) &&
        stop != state_.SectionEnd) {
        host_.SeekTo(state_.SectionStart, &state_.SectionEnd);
        return;
    }
    host_.SeekTo(state_.SectionStart, nullptr);
}

void TBookmarkCommands::CheckSectionLoop()
{
    if (!state_.RepeatOn || host_.Kind() != TMediaKind::Graph) return;
    const int position = host_.BarPosition();
    const bool after = state_.EndSet && position > state_.SelEnd + kLoopSlack;
    const bool before = position < state_.SelStart - kLoopSlack;
    if (!after && !before) return;
    if (state_.ChainChecked && sections_.Count() > kFirstEntry + 1)
        AdvanceChain();
    else
        SeekToSectionStart();
    if (!host_.IsPlaying()) host_.SetPlaying();
}

bool TBookmarkCommands::SectionComplete()
{
    if (!state_.RepeatOn) return false;
    if (state_.ChainChecked && sections_.Count() > kFirstEntry + 1)
        AdvanceChain();
    else
        SeekToSectionStart();   // the graph's stop stays: the section loops
    if (!host_.IsPlaying()) host_.SetPlaying();
    return true;
}

void TBookmarkCommands::CheckRealMediaLoop(int barPosition)
{
    if (!state_.RepeatOn || host_.Kind() != TMediaKind::RealMedia) return;
    const bool after = state_.EndSet && barPosition >= state_.SelEnd;
    const bool before = barPosition < state_.SelStart - kLoopSlack;
    if (!after && !before) return;
    if (state_.ChainChecked && sections_.Count() > kFirstEntry + 1) {
        AdvanceChain();
        return;
    }
    const int max = host_.BarMax();
    if (max <= 0) return;
    host_.SetRealPosition(host_.Duration() * state_.SelStart / max);
}

bool TBookmarkCommands::SaveSection()
{
    if (!state_.RepeatOn) return false;
    std::int64_t start = 0, end = 0;
    switch (host_.Kind()) {
    case TMediaKind::RealMedia:
        start = std::int64_t{state_.SelStart} * 10;
        end = std::int64_t{state_.SelEnd} * 10;
        break;
    case TMediaKind::Graph: {
        start = state_.SectionStart / kUnitsPerHundredth;
        REFERENCE_TIME stop = 0;
        if (FAILED(host_.GetStopPosition(&stop))) return false;
        end = stop / kUnitsPerHundredth;
        // No stop set (B not marked on the graph) while the bar's B lies
        // before the end: B from the bar.
        const REFERENCE_TIME duration = host_.Duration();
        const int max = host_.BarMax();
        if (stop >= duration && state_.SelEnd < max - 10 && max > 0)
            end = duration * state_.SelEnd / max / kUnitsPerHundredth;
        break;
    }
    default:
        return false;
    }
    // A section without length would loop on one spot.
    if (end <= start) return false;
    const int at = sections_.Count();
    sections_.Insert(at, TimeText(start) + QLatin1Char('-') + TimeText(end), start, true);
    sections_.Insert(at + 1, QString(), end, false);
    host_.SaveBookmarkList(false);
    return true;
}

bool TBookmarkCommands::SavePoints()
{
    if (!useBookmark_ || !state_.SavePointsEnabled) return false;
    bool saved = false;
    if (host_.Kind() == TMediaKind::Dvd) {
        // A DVD section holds whole seconds of title time, as its bar does.
        if (!state_.RepeatOn || state_.SelEnd <= state_.SelStart) return false;
        const int at = sections_.Count();
        sections_.Insert(at,
                         TimeText(std::int64_t{state_.SelStart} * 100) + QLatin1Char('-') +
                             TimeText(std::int64_t{state_.SelEnd} * 100),
                         state_.SelStart, true);
        sections_.Insert(at + 1, QString(), state_.SelEnd, false);
        saved = host_.SaveDvdSections(false);
    } else {
        saved = SaveSection();
    }
    if (!saved) return false;
    state_.SavePointsEnabled = false;
    host_.ShowStatus(QStringLiteral("リピート区間保存"));
    host_.SectionStateChanged();
    return true;
}

void TBookmarkCommands::RepeatSectionClick(int index)
{
    const TMediaKind kind = host_.Kind();
    if (kind != TMediaKind::Graph && kind != TMediaKind::RealMedia && kind != TMediaKind::Dvd) return;
    if (index < kFirstEntry || index + 1 >= sections_.Count() || sections_.IsVisible(index + 1)) return;
    if (PlaySection(index)) host_.ShowStatus(sections_.Caption(index));
}

bool TBookmarkCommands::PlaySection(int index)
{
    if (index < kFirstEntry || index + 1 >= sections_.Count()) return false;
    const std::int64_t start = sections_.ItemTag(index);
    const std::int64_t end = sections_.ItemTag(index + 1);
    switch (host_.Kind()) {
    case TMediaKind::RealMedia:
        state_.SectionStart = start * 10;
        SetSelection(static_cast<int>(start / 10), static_cast<int>(end / 10));
        host_.SetRealPosition(start * 10);
        break;
    case TMediaKind::Dvd: {
        if (host_.DvdCommandPending()) return false;
        SetSelection(static_cast<int>(start), static_cast<int>(end));
        const int seconds = static_cast<int>(start);
        if (FAILED(host_.DvdPlayAtTime(seconds / 3600, seconds / 60 % 60, seconds % 60))) return false;
        break;
    }
    case TMediaKind::Graph: {
        state_.SectionStart = start * kUnitsPerHundredth;
        const REFERENCE_TIME stop = end * kUnitsPerHundredth;
        // The bar counts tenths of the media's length in Max steps.
        const REFERENCE_TIME duration = host_.Duration();
        const int max = host_.BarMax();
        auto bar = [&](REFERENCE_TIME units) {
            return duration > 0 && max > 0 ? static_cast<int>(units * max / duration)
                                           : static_cast<int>(units / (10 * kUnitsPerHundredth));
        };
        SetSelection(bar(state_.SectionStart), bar(stop));
        if (FAILED(host_.SeekTo(state_.SectionStart, &stop))) return false;
        state_.SectionEnd = stop;
        break;
    }
    default:
        return false;
    }
    state_.RepeatOn = true;
    state_.EndSet = true;
    state_.ChainIndex = index - kFirstEntry;
    state_.SavePointsEnabled = false;
    host_.SectionStateChanged();
    return true;
}

void TBookmarkCommands::ChainSectionsClick()
{
    if (host_.Kind() == TMediaKind::Dvd && host_.DvdCommandPending()) return;
    if (!state_.ChainChecked) {
        state_.ChainChecked = true;
        if (!state_.RepeatOn && sections_.Count() > kFirstEntry) PlaySection(kFirstEntry);
    } else {
        state_.ChainChecked = false;
    }
    host_.SectionStateChanged();
}

// ---- bookmarks ----

bool TBookmarkCommands::AddBookmarkAtPosition()
{
    const TMediaKind kind = host_.Kind();
    if ((kind != TMediaKind::Graph && kind != TMediaKind::RealMedia) || !Seekable()) return false;
    std::int64_t position = 0;
    if (kind == TMediaKind::Graph) {
        REFERENCE_TIME now = 0;
        if (FAILED(host_.GetCurrentPosition(&now))) return false;
        position = now / kUnitsPerHundredth;
    } else {
        position = host_.RealPosition() / 10;
    }
    position = std::max<std::int64_t>(position, 0);
    bookmarks_.Insert(FirstAbove(bookmarks_, position), TimeText(position), position, true);
    host_.SaveBookmarkList(false);
    return true;
}

void TBookmarkCommands::BookmarkClick(int index)
{
    if (index < kFirstEntry || index >= bookmarks_.Count() || !Seekable()) return;
    const std::int64_t tag = bookmarks_.ItemTag(index);
    if (host_.Kind() == TMediaKind::Graph) {
        if (FAILED(host_.SeekTo(tag * kUnitsPerHundredth, nullptr))) return;
    } else if (host_.Kind() == TMediaKind::RealMedia) {
        host_.SetRealPosition(tag * 10);
    } else {
        return;
    }
    host_.ShowStatus(bookmarks_.Caption(index));
}

void TBookmarkCommands::JumpToBookmark(bool forward)
{
    const TMediaKind kind = host_.Kind();
    if (kind == TMediaKind::Dvd) {
        if (dvdBookmarks_.Count() <= kFirstEntry) return;
        int title = 0, seconds = 0;
        if (!host_.DvdLocation(&title, &seconds)) return;
        const std::int64_t now = std::int64_t{title} * 1'000'000 + seconds / 3600 * 10'000 + seconds / 60 % 60 * 100 +
                                 seconds % 60;
        const int i = FirstAbove(dvdBookmarks_, now);
        int chosen = forward ? i : i - 1;
        if (!forward && i - 1 >= kFirstEntry) {
            // The margin counts seconds of the same title.
            int markTitle = 0, markSeconds = 0;
            SplitDvdTag(dvdBookmarks_.ItemTag(i - 1), &markTitle, &markSeconds);
            if (markTitle == title && seconds - markSeconds < kDvdJumpMargin) chosen = i - 2;
        }
        if (chosen >= kFirstEntry && chosen < dvdBookmarks_.Count()) host_.DvdBookmarkClick(chosen);
        return;
    }
    if ((kind != TMediaKind::Graph && kind != TMediaKind::RealMedia) || bookmarks_.Count() <= kFirstEntry) return;
    std::int64_t position = 0;
    if (kind == TMediaKind::Graph) {
        REFERENCE_TIME now = 0;
        if (FAILED(host_.GetCurrentPosition(&now))) return;
        position = now / kUnitsPerHundredth;
    } else {
        position = host_.RealPosition() / 10;
    }
    const int i = FirstAbove(bookmarks_, position);
    int chosen = forward ? i : i - 1;
    if (!forward && i - 1 >= kFirstEntry && position - bookmarks_.ItemTag(i - 1) < kFileJumpMargin) chosen = i - 2;
    if (chosen >= kFirstEntry && chosen < bookmarks_.Count()) BookmarkClick(chosen);
}

}  // namespace bookmarks

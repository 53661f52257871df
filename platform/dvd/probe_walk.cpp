#include "platform/dvd/probe_walk.h"

#include "platform/dvd/discinfo.h"

#include <QFile>

#include <dvdnav/dvdnav.h>
#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>
#include <dvdread/ifo_types.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <functional>
#include <vector>

namespace dvd {

namespace {

void DropNavMessage(void*, dvdnav_logger_level_t, const char*, va_list) {}
void DropReadMessage(void*, dvd_logger_level_t, const char*, va_list) {}
const dvdnav_logger_cb kQuietNav = {DropNavMessage};
const dvd_logger_cb kQuietRead = {DropReadMessage};

// A good disc with many titles on a slow drive would take long to walk
// whole; past this time the walk stops where it is and counts as passed
// (the loops it looks for show within the first entries of each kind).
constexpr auto kWalkTime = std::chrono::seconds(3);

enum class Entry { Picture, Stopped, Error, Loop, OutOfSteps };

// A title set's program chains and the first title that plays in it.
struct TitleSet {
    int firstTitle = 0;
    int programChains = 0;
};

// The navigation on a handle of its own. libdvdnav's jumps must not be given
// to a VM that stopped or failed to read (it follows pointers it has not
// set): after either the handle is opened anew and first play runs again.
class Walker {
public:
    Walker(const QByteArray& local, const WalkBudget& budget)
        : local_(local), budget_(budget), left_(budget.totalSteps), block_(DVD_VIDEO_LB_LEN),
          deadline_(std::chrono::steady_clock::now() + kWalkTime)
    {
    }
    ~Walker() { Close(); }

    // A running VM to jump from, after first play; false when first play
    // itself ends without a picture (nothing more can be walked).
    bool Ready()
    {
        if (ready_) return true;
        if (dead_) return false;
        Close();
        if (dvdnav_open2(&nav_, nullptr, &kQuietNav, local_.constData()) != DVDNAV_STATUS_OK || !nav_) {
            nav_ = nullptr;
            dead_ = true;
            return false;
        }
        dvdnav_set_readahead_flag(nav_, 0);
        dvdnav_set_PGC_positioning_flag(nav_, 1);
        ready_ = Note(ToPicture()) == Entry::Picture;
        dead_ = !ready_;
        return ready_;
    }

    // One entry: the jump from a running VM, up to its first picture, and
    // with `throughEnd` on through the end of what it plays.
    void Enter(const std::function<bool(dvdnav_t*)>& jump, bool throughEnd = false)
    {
        if (!Ready() || !jump(nav_)) return;
        const Entry start = Note(ToPicture());
        if (start == Entry::Picture && throughEnd) Note(ThroughEnd());
    }

    dvdnav_t* Nav() const { return nav_; }
    bool Looped() const { return looped_; }
    bool GoOn() const
    {
        return !looped_ && !dead_ && left_ > 0 && std::chrono::steady_clock::now() < deadline_;
    }

private:
    Entry Note(Entry e)
    {
        if (e == Entry::Loop) looped_ = true;
        if (e != Entry::Picture) ready_ = false;
        return e;
    }

    void Close()
    {
        if (nav_) dvdnav_close(nav_);
        nav_ = nullptr;
        ready_ = false;
    }

    // Runs the navigation until it hands out a block or a still: the
    // commands on the way (pre commands, jumps, links) have run then.
    Entry ToPicture()
    {
        for (int step = 0; step < budget_.stepsPerEntry; ++step) {
            if (--left_ < 0) return Entry::OutOfSteps;
            int32_t event = 0, length = 0;
            if (dvdnav_get_next_block(nav_, block_.data(), &event, &length) != DVDNAV_STATUS_OK) return Entry::Error;
            switch (event) {
            case DVDNAV_BLOCK_OK:
            case DVDNAV_NAV_PACKET:
            case DVDNAV_STILL_FRAME: return Entry::Picture;
            case DVDNAV_STOP: return Entry::Stopped;
            case DVDNAV_WAIT: dvdnav_wait_skip(nav_); break;
            default: break;
            }
        }
        return Entry::Loop;
    }

    // From the last sector of the program chain that plays, through its
    // post commands to the first block of whatever comes next (another
    // title, or the same program chain again from its start).
    Entry ThroughEnd()
    {
        uint32_t pos = 0, length = 0;
        int32_t title = 0, part = 0;
        if (dvdnav_get_position(nav_, &pos, &length) != DVDNAV_STATUS_OK || length == 0) return Entry::Error;
        if (dvdnav_current_title_info(nav_, &title, &part) != DVDNAV_STATUS_OK) return Entry::Error;
        if (dvdnav_sector_search(nav_, length - 1, SEEK_SET) != DVDNAV_STATUS_OK) return Entry::Error;
        bool landed = false;
        uint32_t last = 0;
        for (int step = 0; step < budget_.stepsPerEntry; ++step) {
            if (--left_ < 0) return Entry::OutOfSteps;
            int32_t event = 0, len = 0;
            if (dvdnav_get_next_block(nav_, block_.data(), &event, &len) != DVDNAV_STATUS_OK) return Entry::Error;
            switch (event) {
            case DVDNAV_STOP: return Entry::Stopped;
            case DVDNAV_STILL_FRAME: return Entry::Picture;   // a still before the end
            case DVDNAV_WAIT: dvdnav_wait_skip(nav_); break;
            case DVDNAV_BLOCK_OK:
            case DVDNAV_NAV_PACKET: {
                // The seek lands on the start of the last VOBU; a block
                // before it, or of another title, comes after the end.
                int32_t now = 0;
                if (dvdnav_get_position(nav_, &pos, &length) != DVDNAV_STATUS_OK ||
                    dvdnav_current_title_info(nav_, &now, &part) != DVDNAV_STATUS_OK)
                    return Entry::Error;
                if (now != title || (landed && pos < last)) return Entry::Picture;
                landed = true;
                last = pos;
                break;
            }
            default: break;
            }
        }
        return Entry::Loop;
    }

    QByteArray local_;
    WalkBudget budget_;
    int left_;
    std::vector<uint8_t> block_;
    std::chrono::steady_clock::time_point deadline_;
    dvdnav_t* nav_ = nullptr;
    bool ready_ = false;
    bool dead_ = false;
    bool looped_ = false;
};

// Opens every title set's IFO (the whole of each: program chains, menus,
// cell and address tables) and notes what the navigation walk needs.
std::vector<TitleSet> ReadTitleSets(const QByteArray& local)
{
    std::vector<TitleSet> sets;
    dvd_reader_t* reader = DVDOpen2(nullptr, &kQuietRead, local.constData());
    if (!reader) return sets;
    if (ifo_handle_t* vmg = ifoOpen(reader, 0)) {
        if (vmg->vmgi_mat) {
            sets.resize(vmg->vmgi_mat->vmg_nr_of_title_sets + 1);
            if (vmg->tt_srpt)
                for (int t = vmg->tt_srpt->nr_of_srpts; t >= 1; --t) {
                    const unsigned set = vmg->tt_srpt->title[t - 1].title_set_nr;
                    if (set >= 1 && set < sets.size()) sets[set].firstTitle = t;
                }
        }
        ifoClose(vmg);
    }
    for (size_t s = 1; s < sets.size(); ++s) {
        ifo_handle_t* vts = ifoOpen(reader, int(s));
        if (!vts) continue;
        if (vts->vts_pgcit) sets[s].programChains = vts->vts_pgcit->nr_of_pgci_srp;
        ifoClose(vts);
    }
    DVDClose(reader);
    return sets;
}

WalkResult Walk(const QByteArray& local, const std::vector<TitleSet>& sets, const WalkBudget& budget)
{
    Walker walker(local, budget);
    // First play, and what its commands lead to.
    walker.Ready();
    int32_t titles = 0;
    if (walker.Nav() && dvdnav_get_number_of_titles(walker.Nav(), &titles) != DVDNAV_STATUS_OK) titles = 0;
    for (int32_t t = 1; t <= titles && walker.GoOn(); ++t)
        walker.Enter([t](dvdnav_t* nav) { return dvdnav_title_play(nav, t) == DVDNAV_STATUS_OK; }, true);

    // libdvdnav's menu numbers; the navigator's own enum of the same names
    // lies in this namespace.
    static const DVDMenuID_t menus[] = {::DVD_MENU_Root, ::DVD_MENU_Title, ::DVD_MENU_Part,
                                        ::DVD_MENU_Audio, ::DVD_MENU_Subpicture, ::DVD_MENU_Angle};
    for (const TitleSet& set : sets) {
        if (set.firstTitle == 0) continue;
        const int title = set.firstTitle;
        for (int pgc = 1; pgc <= set.programChains && walker.GoOn(); ++pgc)
            walker.Enter([title, pgc](dvdnav_t* nav) { return dvdnav_program_play(nav, title, pgc, 1) == DVDNAV_STATUS_OK; });
        // The menus are called from inside the title set, so that its own
        // menus answer as well as the volume's.
        for (DVDMenuID_t menu : menus) {
            if (!walker.GoOn()) break;
            walker.Enter([title](dvdnav_t* nav) { return dvdnav_title_play(nav, title) == DVDNAV_STATUS_OK; });
            walker.Enter([menu](dvdnav_t* nav) { return dvdnav_menu_call(nav, menu) == DVDNAV_STATUS_OK; });
        }
    }
    return walker.Looped() ? WalkResult::Loop : WalkResult::Playable;
}

}  // namespace

WalkResult WalkVolume(const QString& path, const WalkBudget& budget)
{
    DiscInfo info;
    if (!info.Open(path)) return WalkResult::NotDvd;
    const QByteArray local = QFile::encodeName(VolumePath(path));
    const std::vector<TitleSet> sets = ReadTitleSets(local);
    return Walk(local, sets, budget);
}

}  // namespace dvd

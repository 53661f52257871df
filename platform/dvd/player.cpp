// The real DVD player's Navigator commands (player.h): each is checked on the
// caller's thread against what the disc allows now and then runs on the
// command thread (stream choices are recorded and go out with the next data);
// and the helpers player.h declares: what a button's command can reach and
// the kind of a bus warning. The player's other parts are in player_*.cpp,
// around its private state in player_private.h.
#include "platform/dvd/player.h"

#include "platform/dvd/player_private.h"
#include "platform/dvd/state.h"

#include <algorithm>

namespace dvd {

using namespace std::chrono_literals;

namespace {

// ISO 639-1 code of a Windows language identifier's primary language.
QString CodeForLcid(DWORD lcid)
{
    switch (lcid & 0x3FF) {
    case 0x04: return "zh";
    case 0x07: return "de";
    case 0x09: return "en";
    case 0x0A: return "es";
    case 0x0C: return "fr";
    case 0x10: return "it";
    case 0x11: return "ja";
    case 0x12: return "ko";
    case 0x13: return "nl";
    case 0x16: return "pt";
    case 0x19: return "ru";
    case 0x1D: return "sv";
    default: return {};
    }
}

}  // namespace

int TitleJumpOf(const unsigned char* cmd)
{
    // A jump group command (type 1 with the jump bit) whose operation is a
    // jump to a title of the disc.
    if ((cmd[0] & 0xF0) != 0x30 || (cmd[1] & 0x0F) != 2) return 0;
    return cmd[5] & 0x7F;
}

long DiscWarningKind(GstMessage* message, GstObject* navigator)
{
    if (!message || !navigator || GST_MESSAGE_TYPE(message) != GST_MESSAGE_WARNING) return 0;
    GstObject* from = GST_MESSAGE_SRC(message);
    if (!from || !gst_object_has_as_ancestor(from, navigator)) return 0;
    g_autoptr(GError) error = nullptr;
    gst_message_parse_warning(message, &error, nullptr);
    if (!error || error->domain != GST_RESOURCE_ERROR) return 0;
    switch (error->code) {
    case GST_RESOURCE_ERROR_OPEN_READ: return DVD_WARNING_Open;
    case GST_RESOURCE_ERROR_SEEK: return DVD_WARNING_Seek;
    default: return DVD_WARNING_Read;
    }
}

bool CommandCanBranch(const unsigned char* cmd)
{
    const int type = cmd[0] >> 5;
    if (type == 1) {
        if (cmd[0] & 0x10) return true;   // jump or call
        const int link = cmd[1] & 0x0F;
        if (link == 1) return (cmd[7] & 0x1F) != 0;   // a link sub-instruction other than "no link"
        return link >= 4 && link <= 7;   // link to a program chain, part, program or cell
    }
    if (type >= 2 && type <= 6) {
        // Set and compare commands may carry a link sub-instruction.
        const int link = cmd[1] & 0x0F;
        return link == 1 && (cmd[7] & 0x1F) != 0;
    }
    return false;
}

// ---- control ----

HRESULT DvdPlayer::Run()
{
    return d->Post(DVD_CMD_FLAG_None, [this] { return d->SetState(GST_STATE_PLAYING) ? S_OK : E_FAIL; }, true);
}

HRESULT DvdPlayer::Pause()
{
    return d->Post(DVD_CMD_FLAG_None, [this] { return d->SetState(GST_STATE_PAUSED) ? S_OK : E_FAIL; });
}

HRESULT DvdPlayer::Stop()
{
    // Stop keeps the place (the player turns reset-on-stop off): a pause.
    return Pause();
}

namespace {
bool Prohibited(DWORD uops, DWORD flag) { return (uops & flag) != 0; }
}  // namespace

HRESULT DvdPlayer::PlayTitle(ULONG title, DWORD flags)
{
    DWORD uops;
    GetCurrentUOPS(&uops);
    if (!d->disc.Title(title)) return E_INVALIDARG;
    if (Prohibited(uops, UOP_FLAG_Play_Title)) {
        const int button = d->LockedButtonJumpingTo(title, UOP_FLAG_Play_Title);
        if (button == 0) return VFW_E_DVD_OPERATION_INHIBITED;
        return d->Post(flags, [this, button] { return d->JumpByButton(button) ? S_OK : E_FAIL; });
    }
    return d->Post(flags, [this, title] { return d->SeekTo(d->titleFormat, title) ? S_OK : E_FAIL; });
}

HRESULT DvdPlayer::PlayChapterInTitle(ULONG title, ULONG chapter, DWORD flags)
{
    DWORD uops;
    GetCurrentUOPS(&uops);
    if (Prohibited(uops, UOP_FLAG_Play_Chapter)) return VFW_E_DVD_OPERATION_INHIBITED;
    const TitleInfo* info = d->disc.Title(title);
    if (!info || chapter < 1 || int(chapter) > info->chapters) return E_INVALIDARG;
    return d->Post(flags, [this, title, chapter] {
        gint64 now = 0;
        if (!d->Query(d->titleFormat, &now) || now != gint64(title))
            if (!d->SeekTo(d->titleFormat, title)) return E_FAIL;
        return d->SeekTo(d->chapterFormat, chapter) ? S_OK : E_FAIL;
    });
}

HRESULT DvdPlayer::PlayAtTimeInTitle(ULONG title, const HmsfTime& time, DWORD flags)
{
    DWORD uops;
    GetCurrentUOPS(&uops);
    if (!d->disc.Title(title)) return E_INVALIDARG;
    const gint64 ns = time.TotalSeconds() * GST_SECOND + gint64(time.frames / d->fps * GST_SECOND);
    if (Prohibited(uops, UOP_FLAG_Play_Title_Or_AtTime)) {
        // From a menu's still: into the title by its button, then to the time.
        const int button = d->LockedButtonJumpingTo(title, UOP_FLAG_Play_Title_Or_AtTime);
        if (button == 0) return VFW_E_DVD_OPERATION_INHIBITED;
        return d->Post(flags, [this, button, title, ns] {
            if (!d->JumpByButton(button)) return E_FAIL;
            // The title query answers once the title's first cell is read.
            gint64 now = 0;
            for (int i = 0; i < 100 && !(d->Query(d->titleFormat, &now) && now == gint64(title)); ++i)
                std::this_thread::sleep_for(10ms);
            if (now != gint64(title)) return E_FAIL;
            return ns <= 0 || d->SeekTo(GST_FORMAT_TIME, ns) ? S_OK : E_FAIL;
        });
    }
    return d->Post(flags, [this, title, ns] {
        // The disc's domain is known with its first data, but rsndvdbin may
        // refuse a seek until it has read further: a refused seek is tried
        // again for as long as one regular look would have waited.
        for (int tries = 0;; ++tries) {
            gint64 now = 0;
            const bool there = d->Query(d->titleFormat, &now) && now == gint64(title);
            if ((there || d->SeekTo(d->titleFormat, title)) && d->SeekTo(GST_FORMAT_TIME, ns)) return S_OK;
            if (tries == 25) return E_FAIL;
            std::this_thread::sleep_for(10ms);
        }
    });
}

HRESULT DvdPlayer::PlayAtTime(const HmsfTime& time, DWORD flags)
{
    DWORD uops;
    GetCurrentUOPS(&uops);
    if (Prohibited(uops, UOP_FLAG_Play_Chapter_Or_AtTime)) return VFW_E_DVD_OPERATION_INHIBITED;
    Domain domain;
    GetCurrentDomain(&domain);
    if (domain != DVD_DOMAIN_Title) return VFW_E_DVD_INVALIDDOMAIN;
    const gint64 ns = time.TotalSeconds() * GST_SECOND + gint64(time.frames / d->fps * GST_SECOND);
    return d->Post(flags, [this, ns] { return d->SeekTo(GST_FORMAT_TIME, ns) ? S_OK : E_FAIL; });
}

HRESULT DvdPlayer::PlayNextChapter(DWORD flags)
{
    DWORD uops;
    GetCurrentUOPS(&uops);
    if (Prohibited(uops, UOP_FLAG_PlayNext_Chapter)) return VFW_E_DVD_OPERATION_INHIBITED;
    Location at;
    GetCurrentLocation(&at);
    const TitleInfo* info = d->disc.Title(at.title);
    if (!info || int(at.chapter) >= info->chapters) return VFW_E_DVD_OPERATION_INHIBITED;
    const ULONG next = at.chapter + 1;
    return d->Post(flags, [this, next] { return d->SeekTo(d->chapterFormat, next) ? S_OK : E_FAIL; });
}

HRESULT DvdPlayer::PlayPrevChapter(DWORD flags)
{
    DWORD uops;
    GetCurrentUOPS(&uops);
    if (Prohibited(uops, UOP_FLAG_PlayPrev_Or_Replay_Chapter)) return VFW_E_DVD_OPERATION_INHIBITED;
    Location at;
    GetCurrentLocation(&at);
    if (at.chapter < 1) return VFW_E_DVD_OPERATION_INHIBITED;
    const ULONG prev = std::max<ULONG>(at.chapter - 1, 1);
    return d->Post(flags, [this, prev] { return d->SeekTo(d->chapterFormat, prev) ? S_OK : E_FAIL; });
}

HRESULT DvdPlayer::PlayForwards(double speed, DWORD flags)
{
    DWORD uops;
    GetCurrentUOPS(&uops);
    if (Prohibited(uops, UOP_FLAG_Play_Forwards)) return VFW_E_DVD_OPERATION_INHIBITED;
    if (speed <= 0) return E_INVALIDARG;
    return d->Post(flags, [this, speed] {
        if (speed == 1.0) {
            d->NormalSpeed();
            return S_OK;
        }
        {
            std::lock_guard<std::mutex> lock(d->mutex);
            d->o.rate = speed;
        }
        d->ApplyVolume();
        d->Push(EC_DVD_PLAYBACK_RATE_CHANGE, LPARAM(speed * 10000), 0);
        return S_OK;
    }, true);
}

HRESULT DvdPlayer::PlayBackwards(double speed, DWORD flags)
{
    DWORD uops;
    GetCurrentUOPS(&uops);
    if (Prohibited(uops, UOP_FLAG_Play_Backwards)) return VFW_E_DVD_OPERATION_INHIBITED;
    if (speed <= 0) return E_INVALIDARG;
    return d->Post(flags, [this, speed] {
        {
            std::lock_guard<std::mutex> lock(d->mutex);
            d->o.rate = -speed;
        }
        d->ApplyVolume();
        d->Push(EC_DVD_PLAYBACK_RATE_CHANGE, LPARAM(-speed * 10000), 0);
        return S_OK;
    }, true);
}

HRESULT DvdPlayer::ShowMenu(Menu menu, DWORD flags)
{
    GstNavigationCommand command;
    DWORD flag;
    switch (menu) {
    case DVD_MENU_Title: command = GST_NAVIGATION_COMMAND_DVD_TITLE_MENU; flag = UOP_FLAG_ShowMenu_Title; break;
    case DVD_MENU_Root: command = GST_NAVIGATION_COMMAND_DVD_ROOT_MENU; flag = UOP_FLAG_ShowMenu_Root; break;
    case DVD_MENU_Subpicture: command = GST_NAVIGATION_COMMAND_DVD_SUBPICTURE_MENU; flag = UOP_FLAG_ShowMenu_SubPic; break;
    case DVD_MENU_Audio: command = GST_NAVIGATION_COMMAND_DVD_AUDIO_MENU; flag = UOP_FLAG_ShowMenu_Audio; break;
    case DVD_MENU_Angle: command = GST_NAVIGATION_COMMAND_DVD_ANGLE_MENU; flag = UOP_FLAG_ShowMenu_Angle; break;
    case DVD_MENU_Chapter: command = GST_NAVIGATION_COMMAND_DVD_CHAPTER_MENU; flag = UOP_FLAG_ShowMenu_Chapter; break;
    default: return E_INVALIDARG;
    }
    DWORD uops;
    GetCurrentUOPS(&uops);
    if (Prohibited(uops, flag)) return VFW_E_DVD_OPERATION_INHIBITED;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (d->o.eos) return VFW_E_DVD_INVALIDDOMAIN;
    }
    return d->Post(flags, [this, command] { return d->Command(command); });
}

HRESULT DvdPlayer::Resume(DWORD flags)
{
    Domain domain;
    GetCurrentDomain(&domain);
    if (domain != DVD_DOMAIN_VideoManagerMenu && domain != DVD_DOMAIN_VideoTitleSetMenu)
        return VFW_E_DVD_INVALIDDOMAIN;
    return d->Post(flags, [this] { return d->Command(GST_NAVIGATION_COMMAND_DVD_MENU); });
}

HRESULT DvdPlayer::SelectRelativeButton(RelativeButton direction)
{
    GstNavigationCommand command;
    switch (direction) {
    case DVD_Relative_Upper: command = GST_NAVIGATION_COMMAND_UP; break;
    case DVD_Relative_Lower: command = GST_NAVIGATION_COMMAND_DOWN; break;
    case DVD_Relative_Left: command = GST_NAVIGATION_COMMAND_LEFT; break;
    case DVD_Relative_Right: command = GST_NAVIGATION_COMMAND_RIGHT; break;
    default: return E_INVALIDARG;
    }
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (!d->o.hasPci || d->o.pci.hli.hl_gi.btn_ns == 0) return VFW_E_DVD_NO_BUTTON;
    }
    return d->Post(DVD_CMD_FLAG_None, [this, command] { return d->ButtonCommand(command); });
}

HRESULT DvdPlayer::ActivateButton()
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        const auto& hli = d->o.pci.hli;
        if (!d->o.hasPci || hli.hl_gi.btn_ns == 0) return VFW_E_DVD_NO_BUTTON;
        // During a still, a command that does not branch would leave
        // rsndvdbin looking for the next NAV pack for ever.
        const int button = std::clamp(d->o.button, 1, int(hli.hl_gi.btn_ns));
        if (d->o.still && !CommandCanBranch(hli.btnit[button - 1].cmd.bytes)) return VFW_E_DVD_OPERATION_INHIBITED;
    }
    return d->Post(DVD_CMD_FLAG_None, [this] { return d->ButtonCommand(GST_NAVIGATION_COMMAND_ACTIVATE); });
}

namespace {
// The button under a point of the picture, 0 when none.
int ButtonAt(const pci_t& pci, long x, long y)
{
    for (int i = 0; i < pci.hli.hl_gi.btn_ns && i < 36; ++i) {
        const btni_t& b = pci.hli.btnit[i];
        if (x >= long(b.x_start) && x <= long(b.x_end) && y >= long(b.y_start) && y <= long(b.y_end)) return i + 1;
    }
    return 0;
}
}  // namespace

HRESULT DvdPlayer::SelectAtPosition(long x, long y)
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (!d->o.hasPci || ButtonAt(d->o.pci, x, y) == 0) return VFW_E_DVD_NO_BUTTON;
    }
    return d->Post(DVD_CMD_FLAG_None, [this, x, y] {
        d->WaitForButtons();
        return d->SendNavigation(gst_navigation_event_new_mouse_move(x, y, GST_NAVIGATION_MODIFIER_NONE)) ? S_OK
                                                                                                          : E_FAIL;
    });
}

HRESULT DvdPlayer::ActivateAtPosition(long x, long y)
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (!d->o.hasPci) return VFW_E_DVD_NO_BUTTON;
        const int button = ButtonAt(d->o.pci, x, y);
        if (button == 0) return VFW_E_DVD_NO_BUTTON;
        if (d->o.still && !CommandCanBranch(d->o.pci.hli.btnit[button - 1].cmd.bytes))
            return VFW_E_DVD_OPERATION_INHIBITED;
    }
    return d->Post(DVD_CMD_FLAG_None, [this, x, y] {
        d->WaitForButtons();
        d->SendNavigation(gst_navigation_event_new_mouse_move(x, y, GST_NAVIGATION_MODIFIER_NONE));
        return d->SendNavigation(gst_navigation_event_new_mouse_button_release(1, x, y, GST_NAVIGATION_MODIFIER_NONE))
                   ? S_OK
                   : E_FAIL;
    });
}

HRESULT DvdPlayer::SelectAngle(ULONG angle, DWORD flags)
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (angle < 1 || angle > d->o.angles) return E_INVALIDARG;
    }
    // Next-angle commands until rsndvdbin reports the angle asked for.
    return d->Post(flags, [this, angle] {
        for (int i = 0; i < 9; ++i) {
            {
                std::lock_guard<std::mutex> lock(d->mutex);
                if (d->o.angle == angle) return S_OK;
            }
            if (FAILED(d->Command(GST_NAVIGATION_COMMAND_NEXT_ANGLE))) return E_FAIL;
            std::this_thread::sleep_for(50ms);
        }
        return E_FAIL;
    });
}

HRESULT DvdPlayer::SelectAudioStream(ULONG stream, DWORD flags)
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (LONG(stream) >= d->o.audioCount) return E_INVALIDARG;
        d->o.chosenAudio = LONG(stream);
        d->o.userChoseAudio = true;
        d->o.pushAudio = true;
    }
    (void)flags;
    return S_OK;
}

HRESULT DvdPlayer::SelectSubpictureStream(ULONG stream, DWORD flags)
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (LONG(stream) >= d->o.subCount) return E_INVALIDARG;
        d->o.chosenSub = LONG(stream);
        d->o.userChoseSub = true;
        d->o.pushSub = true;
    }
    (void)flags;
    return S_OK;
}

HRESULT DvdPlayer::SetSubpictureState(bool shown, DWORD flags)
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->o.chosenShown = shown ? 1 : 0;
        d->o.pushSub = true;
    }
    (void)flags;
    return S_OK;
}

HRESULT DvdPlayer::SelectKaraokeAudioPresentationMode(ULONG mode)
{
    if (!d->karaoke) return E_NOTIMPL;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (!d->CurrentAudioIsKaraoke()) return VFW_E_DVD_OPERATION_INHIBITED;
    }
    d->karaoke->SetMode(mode);
    return S_OK;
}

HRESULT DvdPlayer::SetOption(Option option, bool on)
{
    switch (option) {
    case DVD_AudioDuringFFwdRew:
        d->audioDuringFastPlay = on;
        return S_OK;
    case DVD_NotifyParentalLevelChange: {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->parental.notify = on;
        return S_OK;
    }
    case DVD_ResetOnStop:   // Stop always keeps the place here
    case DVD_HMSF_TimeCodeEvents:
        return S_OK;
    }
    return E_INVALIDARG;
}

HRESULT DvdPlayer::SelectParentalLevel(ULONG level)
{
    if (level < 1 || level > 8) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(d->mutex);
    d->parental.level = level;
    return S_OK;
}

HRESULT DvdPlayer::SelectParentalCountry(const BYTE country[2])
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->parental.country = std::uint16_t(country[0] << 8 | country[1]);
    return S_OK;
}

// The answer for a held title: it plays, or the disc ends as with a level
// too low. S_FALSE when no title waits.
HRESULT DvdPlayer::AcceptParentalLevelChange(bool accept)
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (d->parental.heldTitle == 0) return S_FALSE;
        if (accept) {
            d->parental.admittedTitle = d->parental.heldTitle;
            d->parental.heldTitle = 0;
        }
    }
    if (!accept) {
        d->Push(EC_DVD_ERROR, DVD_ERROR_LowParentalLevel, 0);
        return S_OK;
    }
    return d->Post(DVD_CMD_FLAG_None, [this] {
        return gst_element_set_state(d->pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE ? E_FAIL : S_OK;
    }, true);
}

HRESULT DvdPlayer::SelectDefaultAudioLanguage(DWORD lcid)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->o.defaultAudio = CodeForLcid(lcid);
    return d->o.defaultAudio.isEmpty() ? E_INVALIDARG : S_OK;
}

HRESULT DvdPlayer::SelectDefaultSubpictureLanguage(DWORD lcid)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->o.defaultSub = CodeForLcid(lcid);
    return d->o.defaultSub.isEmpty() ? E_INVALIDARG : S_OK;
}

// rsndvdbin chooses the menu language once, when its source opens the disc
// at the pipeline's first start (SetState).
HRESULT DvdPlayer::SelectDefaultMenuLanguage(DWORD lcid)
{
    const QString code = CodeForLcid(lcid);
    if (code.isEmpty()) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(d->mutex);
    if (d->sourceStarted) return VFW_E_DVD_INVALIDDOMAIN;
    d->menuLanguage = code;
    return S_OK;
}

HRESULT DvdPlayer::SetState(const SavedState& state, DWORD flags)
{
    StateRecord r;
    const HRESULT hr = ReadStateRecord(state.bytes, d->disc, &r);
    if (FAILED(hr)) return hr;
    const HRESULT played = PlayAtTimeInTitle(r.title, r.time, flags);
    if (FAILED(played)) return played;
    std::lock_guard<std::mutex> lock(d->mutex);
    if (r.audio >= 0) {
        d->o.chosenAudio = r.audio;
        d->o.userChoseAudio = true;
        d->o.pushAudio = true;
    }
    if (r.subpicture >= 0) {
        d->o.chosenSub = r.subpicture;
        d->o.userChoseSub = true;
    }
    d->o.chosenShown = r.subpictureShown ? 1 : 0;
    d->o.pushSub = true;
    return S_OK;
}

}  // namespace dvd

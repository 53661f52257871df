#include "platform/dvd/discinfo.h"

#include <QDir>
#include <QFileInfo>

#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>
#include <dvdread/ifo_types.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <memory>

namespace dvd {

namespace {

// libdvdread writes its complaints to stderr unless told otherwise; the
// player logs nothing.
void DropMessage(void*, dvd_logger_level_t, const char*, va_list) {}
const dvd_logger_cb kQuietLogger = {DropMessage};

struct ReaderClose {
    void operator()(dvd_reader_t* r) const { DVDClose(r); }
};
struct IfoClose {
    void operator()(ifo_handle_t* h) const { ifoClose(h); }
};
using Reader = std::unique_ptr<dvd_reader_t, ReaderClose>;
using Ifo = std::unique_ptr<ifo_handle_t, IfoClose>;

int FromBcd(uint8_t v) { return (v >> 4) * 10 + (v & 0x0F); }

std::int64_t Milliseconds(const dvd_time_t& t)
{
    const int fps = (t.frame_u >> 6) == 1 ? 25 : 30;
    const std::int64_t s = FromBcd(t.hour) * 3600 + FromBcd(t.minute) * 60 + FromBcd(t.second);
    return s * 1000 + FromBcd(t.frame_u & 0x3F) * 1000 / fps;
}

// Where each chapter of a title begins, summed from the cells before its
// program; only the first cell of an angle block counts, as the angles
// play side by side. Empty when a chapter lies in another program chain.
std::vector<std::int64_t> ChapterStarts(const pgcit_t& pgcit, const ttu_t& ttu)
{
    std::vector<std::int64_t> starts;
    const int pgcn = ttu.nr_of_ptts > 0 ? ttu.ptt[0].pgcn : 0;
    if (pgcn < 1 || pgcn > pgcit.nr_of_pgci_srp) return starts;
    const pgc_t* pgc = pgcit.pgci_srp[pgcn - 1].pgc;
    if (!pgc || !pgc->program_map || !pgc->cell_playback) return starts;
    for (int i = 0; i < ttu.nr_of_ptts; ++i) {
        const int pgn = ttu.ptt[i].pgn;
        if (ttu.ptt[i].pgcn != pgcn || pgn < 1 || pgn > pgc->nr_of_programs) return {};
        const int firstCell = pgc->program_map[pgn - 1];
        std::int64_t ms = 0;
        for (int c = 1; c < firstCell && c <= pgc->nr_of_cells; ++c) {
            const cell_playback_t& cell = pgc->cell_playback[c - 1];
            if (cell.block_type == BLOCK_TYPE_ANGLE_BLOCK && cell.block_mode != BLOCK_MODE_FIRST_CELL) continue;
            ms += Milliseconds(cell.playback_time);
        }
        starts.push_back(ms);
    }
    return starts;
}

HmsfTime FromDvdTime(const dvd_time_t& t)
{
    const int fps = (t.frame_u >> 6) == 1 ? 25 : 30;
    HmsfTime h;
    h.hours = BYTE(FromBcd(t.hour));
    h.minutes = BYTE(FromBcd(t.minute));
    h.seconds = BYTE(FromBcd(t.second));
    h.frames = BYTE(std::min(FromBcd(t.frame_u & 0x3F), fps - 1));
    return h;
}

QString LanguageCode(uint16_t code)
{
    const char a = char(code >> 8), b = char(code & 0xFF);
    if (a < 'a' || a > 'z' || b < 'a' || b > 'z') return {};
    return QString(QChar(a)) + QChar(b);
}

VideoAttributes FromVideoAttr(const video_attr_t& v)
{
    VideoAttributes a;
    a.aspectX = v.display_aspect_ratio == 3 ? 16 : 4;
    a.aspectY = v.display_aspect_ratio == 3 ? 9 : 3;
    static const int widths[] = {720, 704, 352, 352};
    a.width = widths[v.picture_size & 3];
    const bool pal = v.video_format == 1;
    a.height = (v.picture_size & 3) == 3 ? (pal ? 288 : 240) : (pal ? 576 : 480);
    a.letterboxed = v.letterboxed;
    return a;
}

// The volume's audio coding mode as the navigator's format number; for MPEG
// audio the quantization field tells whether dynamic range control is on.
int AudioFormat(const audio_attr_t& attr)
{
    const bool drc = attr.quantization == 1;
    switch (attr.audio_format) {
    case 0: return 0;
    case 2: return drc ? 2 : 1;
    case 3: return drc ? 4 : 3;
    case 4: return 5;
    case 6: return 6;
    case 7: return 7;
    default: return 8;
    }
}

// What channels 2, 3 and 4 of a karaoke stream hold, as the navigator's
// contents bits (1 and 2 guide vocals, 4 and 8 guide melodies 1 and 2, 16
// and 32 guide melodies A and B, 64 and 128 sound effects A and B).
void ReadKaraokeContents(const multichannel_ext_t& m, AudioAttributes* a)
{
    a->karaokeContents[0] = (m.ach2_gv1e ? 1 : 0) | (m.ach2_gv2e ? 2 : 0) | (m.ach2_gm1e ? 4 : 0) | (m.ach2_gm2e ? 8 : 0);
    a->karaokeContents[1] = (m.ach3_gv1e ? 1 : 0) | (m.ach3_gv2e ? 2 : 0) | (m.ach3_gmAe ? 16 : 0) | (m.ach3_se2e ? 64 : 0);
    a->karaokeContents[2] = (m.ach4_gv1e ? 1 : 0) | (m.ach4_gv2e ? 2 : 0) | (m.ach4_gmBe ? 32 : 0) | (m.ach4_seBe ? 128 : 0);
}

AudioAttributes FromAudioAttr(const audio_attr_t& attr, const multichannel_ext_t* multichannel = nullptr)
{
    AudioAttributes a;
    a.language = attr.lang_type == 1 ? LanguageCode(attr.lang_code) : QString();
    a.format = AudioFormat(attr);
    a.channels = attr.channels + 1;
    a.karaoke = attr.application_mode == 1;
    if (a.karaoke && multichannel) ReadKaraokeContents(*multichannel, &a);
    a.extension = attr.lang_type == 1 ? attr.code_extension : 0;
    return a;
}

}  // namespace

std::uint32_t UserOpsBits(const void* userOps)
{
    const user_ops_t& u = *static_cast<const user_ops_t*>(userOps);
    std::uint32_t bits = 0;
    const unsigned fields[] = {u.title_or_time_play, u.chapter_search_or_play, u.title_play, u.stop, u.go_up,
                               u.time_or_chapter_search, u.prev_or_top_pg_search, u.next_pg_search,
                               u.forward_scan, u.backward_scan, u.title_menu_call, u.root_menu_call,
                               u.subpic_menu_call, u.audio_menu_call, u.angle_menu_call, u.chapter_menu_call,
                               u.resume, u.button_select_or_activate, u.still_off, u.pause_on,
                               u.audio_stream_change, u.subpic_stream_change, u.angle_change,
                               u.karaoke_audio_pres_mode_change, u.video_pres_mode_change};
    for (size_t i = 0; i < sizeof fields / sizeof fields[0]; ++i)
        if (fields[i]) bits |= 1u << i;
    return bits;
}

DWORD UopsFromUserOps(std::uint32_t userOps)
{
    // Bits 0 to 15 of the disc's user operations are the navigator's own;
    // above them the disc has button and still operations that the
    // navigator does not report, so the stream changes move down and the
    // pause goes above them.
    DWORD uops = userOps & 0xFFFF;
    if (userOps & 1u << 16) uops |= UOP_FLAG_Resume;
    if (userOps & 1u << 19) uops |= UOP_FLAG_Pause_On;
    if (userOps & 1u << 20) uops |= UOP_FLAG_Select_Audio_Stream;
    if (userOps & 1u << 21) uops |= UOP_FLAG_Select_SubPic_Stream;
    if (userOps & 1u << 22) uops |= UOP_FLAG_Select_Angle;
    if (userOps & 1u << 23) uops |= UOP_FLAG_Select_Karaoke_Audio_Presentation_Mode;
    if (userOps & 1u << 24) uops |= UOP_FLAG_Select_Video_Mode_Preference;
    return uops;
}

QString VolumePath(const QString& path)
{
    QFileInfo info(path);
    if (info.isFile() && info.dir().dirName().compare("VIDEO_TS", Qt::CaseInsensitive) == 0)
        return QDir::cleanPath(info.dir().absolutePath() + "/..");
    if (info.isDir() && info.fileName().compare("VIDEO_TS", Qt::CaseInsensitive) == 0)
        return QDir::cleanPath(info.absoluteFilePath() + "/..");
    return path;
}

bool DiscInfo::IsDvdVolume(const QString& path)
{
    DiscInfo info;
    return info.Open(path);
}

bool DiscInfo::Open(const QString& path)
{
    titles_.clear();
    const QByteArray local = QFile::encodeName(VolumePath(path));
    Reader reader(DVDOpen2(nullptr, &kQuietLogger, local.constData()));
    if (!reader) return false;
    Ifo vmg(ifoOpen(reader.get(), 0));
    if (!vmg || !vmg->tt_srpt || !vmg->vmgi_mat) return false;
    menuVideo_ = FromVideoAttr(vmg->vmgi_mat->vmgm_video_attr);

    unsigned char md5[16] = {};
    discId_ = 0;
    if (DVDDiscID(reader.get(), md5) == 0)
        for (int i = 0; i < 8; ++i) discId_ = discId_ << 8 | md5[i];

    char volid[33] = {};
    unsigned char setid[128];
    if (DVDUDFVolumeInfo(reader.get(), volid, sizeof volid, setid, sizeof setid) == 0 ||
        DVDISOVolumeInfo(reader.get(), volid, sizeof volid, setid, sizeof setid) == 0)
        volumeName_ = QString::fromLatin1(volid).trimmed();

    parental_.clear();
    if (vmg->ptl_mait) {
        const ptl_mait_t& table = *vmg->ptl_mait;
        for (int c = 0; c < table.nr_of_countries; ++c) {
            const ptl_mait_country_t& country = table.countries[c];
            ParentalCountry entry;
            entry.code = country.country_code;
            for (int v = 0; country.pf_ptl_mai && v <= table.nr_of_vtss; ++v) {
                std::array<std::uint16_t, 8> levels{};
                for (int l = 0; l < 8; ++l) levels[size_t(l)] = country.pf_ptl_mai[v][l];
                entry.fields.push_back(levels);
            }
            parental_.push_back(std::move(entry));
        }
    }

    std::vector<Ifo> sets(vmg->vmgi_mat->vmg_nr_of_title_sets + 1);
    for (int t = 0; t < vmg->tt_srpt->nr_of_srpts; ++t) {
        const title_info_t& ti = vmg->tt_srpt->title[t];
        TitleInfo info;
        info.titleSet = ti.title_set_nr;
        info.chapters = ti.nr_of_ptts;
        if (ti.pb_ty.title_or_time_play) info.prohibited |= UOP_FLAG_Play_Title_Or_AtTime;
        if (ti.pb_ty.chapter_search_or_play) info.prohibited |= UOP_FLAG_Play_Chapter;
        if (ti.title_set_nr >= 1 && ti.title_set_nr < sets.size()) {
            Ifo& set = sets[ti.title_set_nr];
            if (!set) set.reset(ifoOpen(reader.get(), ti.title_set_nr));
            if (set && set->vtsi_mat) {
                const vtsi_mat_t& mat = *set->vtsi_mat;
                info.video = FromVideoAttr(mat.vts_video_attr);
                for (int a = 0; a < std::min<int>(mat.nr_of_vts_audio_streams, 8); ++a)
                    info.audio.push_back(FromAudioAttr(mat.vts_audio_attr[a], &mat.vts_mu_audio_attr[a]));
                for (int s = 0; s < std::min<int>(mat.nr_of_vts_subp_streams, 32); ++s) {
                    const subp_attr_t& sp = mat.vts_subp_attr[s];
                    info.subpictures.push_back({sp.type == 1 ? LanguageCode(sp.lang_code) : QString(),
                                                sp.type == 1 ? int(sp.code_extension) : 0});
                }
            }
            if (set && set->vts_ptt_srpt && set->vts_pgcit && ti.vts_ttn >= 1 &&
                ti.vts_ttn <= set->vts_ptt_srpt->nr_of_srpts) {
                const ttu_t& ttu = set->vts_ptt_srpt->title[ti.vts_ttn - 1];
                const int pgcn = ttu.nr_of_ptts > 0 ? ttu.ptt[0].pgcn : 0;
                if (pgcn >= 1 && pgcn <= set->vts_pgcit->nr_of_pgci_srp) {
                    const pgc_t* pgc = set->vts_pgcit->pgci_srp[pgcn - 1].pgc;
                    if (pgc) {
                        info.length = FromDvdTime(pgc->playback_time);
                        info.prohibited |= UopsFromUserOps(UserOpsBits(&pgc->prohibited_ops));
                    }
                    info.chapterStartsMs = ChapterStarts(*set->vts_pgcit, ttu);
                }
            }
        }
        titles_.push_back(std::move(info));
    }
    return true;
}

int DiscInfo::ChapterAt(ULONG title, std::int64_t ms) const
{
    const TitleInfo* info = Title(title);
    if (!info || info->chapterStartsMs.empty()) return 0;
    const auto& starts = info->chapterStartsMs;
    const auto after = std::upper_bound(starts.begin(), starts.end(), ms);
    return std::max(int(after - starts.begin()), 1);
}

int DiscInfo::ParentalLevelNeeded(int titleSet, std::uint16_t country) const
{
    if (parental_.empty()) return 0;
    const ParentalCountry* found = country == 0 ? &parental_.front() : nullptr;
    for (const ParentalCountry& c : parental_)
        if (!found && c.code == country) found = &c;
    if (!found || titleSet < 0 || size_t(titleSet) >= found->fields.size()) return 0;
    const auto& levels = found->fields[size_t(titleSet)];
    // A set whose fields are all zero is left out of the table: any level plays it.
    for (int l = 0; l < 8; ++l)
        if (levels[size_t(l)] != 0) return l + 1;
    return 0;
}

bool DiscInfo::IsScrambled(const QString& path)
{
    const QByteArray local = QFile::encodeName(VolumePath(path));
    Reader reader(DVDOpen2(nullptr, &kQuietLogger, local.constData()));
    if (!reader) return false;
    Ifo vmg(ifoOpen(reader.get(), 0));
    if (!vmg || !vmg->vmgi_mat) return false;
    // A pack header of 14 bytes, then a PES header whose flags byte holds
    // the scrambling control; NAV packs are never scrambled and are skipped
    // by the sample: 32 blocks from the start of each set's titles.
    unsigned char blocks[32 * DVD_VIDEO_LB_LEN];
    for (int set = 1; set <= vmg->vmgi_mat->vmg_nr_of_title_sets; ++set) {
        dvd_file_t* file = DVDOpenFile(reader.get(), set, DVD_READ_TITLE_VOBS);
        if (!file) continue;
        const ssize_t read = DVDReadBlocks(file, 0, 32, blocks);
        DVDCloseFile(file);
        for (ssize_t b = 0; b < read; ++b) {
            const unsigned char* pack = blocks + b * DVD_VIDEO_LB_LEN;
            if (pack[0] == 0 && pack[1] == 0 && pack[2] == 1 && pack[3] == 0xBA && (pack[0x14] & 0x30) != 0)
                return true;
        }
    }
    return false;
}

}  // namespace dvd

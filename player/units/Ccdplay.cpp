// The audio-CD player on the CD-audio device.
#include "Ccdplay.h"

#include "Ccdplayerini.h"
#include "Cdinfo.h"
#include "common/Cstrings.h"
#include "common/Reghelp.h"

#include <QAction>
#include <QMenu>

#include <algorithm>
#include <vector>

namespace {

CCDPlay::DeviceFactory& Factory()
{
    static CCDPlay::DeviceFactory factory;
    return factory;
}

constexpr int kJapanese = 0x69;
// The window timer 16 intervals: after opening, after a track starts, after a
// language switch.
constexpr unsigned kSuppressAfterOpenMs = 2000;
constexpr unsigned kSuppressAfterPlayMs = 1000;
constexpr unsigned kSuppressAfterLanguageMs = 500;

QString TrackTitle(int number) { return QStringLiteral("TRACK %1").arg(number); }

QString TimeText(std::int64_t seconds)
{
    if (seconds < 0) seconds = 0;
    return QString::asprintf("%d:%02d:%02d", static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                             static_cast<int>(seconds % 60));
}

// "Various" discs name each track's performer in front of its title.
void SplitVarious(const QString& artist, QString* title, QString* performer)
{
    performer->clear();
    if (artist != QLatin1String("Various")) return;
    const qsizetype at = title->indexOf(QLatin1String(" / "));
    if (at < 0) return;
    *performer = title->left(at);
    *title = title->mid(at + 3);
}

}  // namespace

QString CdTextLanguageName(int code)
{
    static const struct {
        int code;
        const char* name;
    } names[] = {{0x06, "チェコ語"},     {0x07, "デンマーク語"},   {0x08, "ドイツ語"},     {0x09, "英語"},
                 {0x0A, "スペイン語"},   {0x0F, "フランス語"},     {0x15, "イタリア語"},   {0x1B, "ハンガリー語"},
                 {0x1D, "オランダ語"},   {0x1E, "ノルウェー語"},   {0x20, "ポーランド語"}, {0x21, "ポルトガル語"},
                 {0x26, "スロベニア語"}, {0x27, "フィンランド語"}, {0x28, "スウェーデン語"}, {0x29, "トルコ語"},
                 {0x56, "ロシア語"},     {0x65, "韓国語"},         {0x69, "日本語"},       {0x70, "ギリシア語"},
                 {0x75, "中国語"}};
    for (const auto& n : names)
        if (n.code == code) return QString::fromUtf8(n.name);
    return {};
}

void CCDPlay::SetDeviceFactory(DeviceFactory factory) { Factory() = std::move(factory); }

CCDPlay::CCDPlay(ICdHost& host) : host_(host)
{
    // Without the key every flag keeps its default, as every other setting does.
    if (RegKey key = RegKey::Open(HKEY_CURRENT_USER, kMainKey, KEY_READ)) {
        autoConnect = RegReadBool(key.get(), "CDDBAutoConnect", false);
        readCdText = RegReadBool(key.get(), "ReadCDText", true);
        searchCdIni = RegReadBool(key.get(), "SerchCDIni", false);
        iniAutoSave = RegReadBool(key.get(), "CDIniAutoSave", false);
        convertToHalf = RegReadBool(key.get(), "ConvertToHalf", true);
    }
}

CCDPlay::~CCDPlay()
{
    CloseDevice();
    RemoveLanguageMenu();
    host_.ShowFileControls();
}

void CCDPlay::OnNotify()
{
    if (suppressNotify)
        suppressNotify = false;
    else
        OnTrackEnd();
}

int CCDPlay::Open(const QString& drive)
{
    suppressNotify = false;
    // The whole drive name: its case is never changed.
    drive_ = drive;

    device_ = Factory() ? Factory()() : cdrom::CreateAudioDevice();
    if (!device_ || !device_->Open(drive_, host_.NoticeWindow())) {
        device_.reset();
        return 0;
    }
    // The mixer's CD line is this device's own volume while it is open.
    volumeControl_.device = device_.get();
    host_.SetCdVolumeControl(&volumeControl_);
    int tracks = 0;
    if (!device_->TrackCount(&tracks) || tracks < 1) return 0;

    // Titles: the first source that has them.
    bool titled = false;
    if (readCdText) {
        titled = ReadCdText(drive_, tracks, 0);
    } else {
        CASPI().GetDiscIdSpti(drive_, &discId, &queryCommand);
    }
    if (!titled && searchCdIni) titled = ReadCdIni(tracks);
    if (!titled) FillDefaultTracks(tracks);

    suppressNotify = true;
    host_.StartNotifyTimer(kSuppressAfterOpenMs);
    host_.MarkAudioOnly();
    host_.SetTrackIndex(0);

    bool started = false;
    if (host_.ShuffleOn()) {
        // A disc of one track has no order: it plays as without shuffle.
        const int first = host_.StartShuffleOrder();
        if (first >= 0) {
            host_.SetTrackIndex(first);
            if (!PlayTrack(host_.TrackIndex() + 1)) return 0;
            started = true;
        }
    }
    if (!started) {
        if (!device_->SetTimeFormat(cdrom::TimeFormat::Milliseconds) || !device_->Play(nullptr, nullptr, true)) return 0;
    }

    // The device's own volume stands for the CD line of the mixer.
    host_.SetVolumeBar(device_->Volume() * 100 / cdrom::kMaxVolume);
    host_.ShowCdControls(tracks);
    host_.SetCdTimer(true);
    host_.ShowPlayState(psPlaying);

    if (titled) host_.EnableSaveTitles();
    if (!titled && autoConnect) StartLookUp(tracks, TLookUpFor::Open);

    ShowTrackInfo();
    RefreshLayout();
    return 1;
}

void CCDPlay::FillDefaultTracks(int trackCount)
{
    host_.ClearTracks();
    for (int t = 1; t <= trackCount; ++t) {
        TPlayListItem item;
        item.Title = TrackTitle(t);
        host_.AddTrack(item);
    }
}

QString CCDPlay::Converted(const QString& text, bool japanese) const
{
    return japanese && convertToHalf ? ConvertToHalfWidth(text) : text;
}

bool CCDPlay::ReadCdText(const QString& drive, int trackCount, int block)
{
    CASPI caspi;
    CDinfo info;
    const bool toc = caspi.ReadTocSpti(&info, drive) == 1;
    // The disc can be looked up whenever its TOC reads, CD-TEXT or not.
    if (toc && discId == 0) caspi.GetDiscIdSpti(drive, &discId, &queryCommand);
    if (!toc) return false;
    caspi.textBlock = block;
    if (caspi.ReadCdTextSpti(&info, drive) != 1) return false;
    // Only a block that exists has texts of its own.
    if (block < 0 || block >= 8 || info.languages[block] == 0) return false;

    if (info.languageCount > 1) AddLanguageMenu(info.languages);
    const bool japanese = info.languages[block] == kJapanese;
    artist = Converted(info.performer, japanese);
    albumTitle = Converted(info.title, japanese);
    const int count = std::min(trackCount, static_cast<int>(info.tracks.size()));
    std::vector<TPlayListItem> items;
    for (int i = 0; i < count; ++i) {
        const TTrackRecord& track = *info.tracks[static_cast<size_t>(i)];
        TPlayListItem item;
        item.Title = track.audio ? Converted(track.title, japanese) : QStringLiteral("Not Audio");
        if (item.Title.isEmpty()) item.Title = TrackTitle(i + 1);
        item.Performer = Converted(track.performer, japanese);
        items.push_back(item);
    }
    if (host_.TrackCount() == count) {
        // Another language of the same tracks: the current entry and the
        // shuffle order stay.
        for (int i = 0; i < count; ++i) host_.ReplaceTrack(i, items[static_cast<size_t>(i)]);
        return true;
    }
    host_.ClearTracks();
    for (const TPlayListItem& item : items) host_.AddTrack(item);
    return true;
}

void CCDPlay::AddLanguageMenu(const std::uint8_t* languages)
{
    if (languageMenu_) return;
    languageMenu_ = host_.AddCdTextMenu();
    for (int block = 0; block < 8; ++block) {
        if (languages[block] == 0) continue;
        QString name = CdTextLanguageName(languages[block]);
        if (name.isEmpty()) name = QStringLiteral("言語 %1").arg(block + 1);
        QAction* item = languageMenu_->addAction(name);
        item->setCheckable(true);
        item->setProperty("Tag", block);
        QObject::connect(item, &QAction::triggered, languageMenu_, [this, item] { OnLanguageClick(item); });
    }
    CheckLanguage(0);
}

void CCDPlay::CheckLanguage(int block)
{
    checkedBlock_ = block;
    if (!languageMenu_) return;
    for (QAction* item : languageMenu_->actions()) item->setChecked(item->property("Tag").toInt() == block);
}

void CCDPlay::RemoveLanguageMenu()
{
    if (!languageMenu_) return;
    QMenu* menu = languageMenu_;
    languageMenu_ = nullptr;
    for (QAction* item : menu->actions()) {
        menu->removeAction(item);
        delete item;
    }
    host_.RemoveCdTextMenu(menu);
    checkedBlock_ = -1;
}

void CCDPlay::OnLanguageClick(QAction* item)
{
    const int block = item->property("Tag").toInt();
    // A click only toggles the item: its check follows what the disc shows.
    CheckLanguage(checkedBlock_);
    if (block == checkedBlock_ || !device_) return;
    const int state = host_.ShownPlayState();
    const bool timerWasOn = host_.CdTimerActive();
    suppressNotify = true;
    std::uint32_t position = 0;
    bool stoppedHere = false;
    if (state != psStopped) {
        device_->SetTimeFormat(cdrom::TimeFormat::Milliseconds);
        stoppedHere = device_->Position(&position);
        device_->Stop();
        host_.SetCdTimer(false);
    }
    const bool read = ReadCdText(drive_, host_.TrackCount(), block);
    if (read) CheckLanguage(block);
    if (stoppedHere) {
        // The disc goes on where it was, with the new titles or the old ones.
        PlayRange(position, host_.TrackIndex() + 1);
        if (state == psPaused) device_->Pause();
        host_.SetCdTimer(read || timerWasOn);
    }
    host_.SetTrackIndex(host_.TrackIndex());
    ShowLabels();
    RefreshLayout();
    host_.StartNotifyTimer(kSuppressAfterLanguageMs);
}

bool CCDPlay::ReadCdIni(int trackCount)
{
    CCDINI ini(drive_);
    if (ini.section.isEmpty() || ini.Read() != trackCount || ini.titles.size() != trackCount) return false;
    artist = ini.artist;
    albumTitle = ini.title;
    host_.ClearTracks();
    for (const QString& stored : ini.titles) {
        TPlayListItem item;
        item.Title = stored;
        SplitVarious(artist, &item.Title, &item.Performer);
        host_.AddTrack(item);
    }
    return true;
}

bool CCDPlay::PlayRange(std::uint32_t fromMs, int track)
{
    if (!device_ || !device_->SetTimeFormat(cdrom::TimeFormat::Milliseconds)) return false;
    std::uint32_t to = 0;
    const bool bounded = (host_.OnePlayOn() || host_.ShuffleOn()) && track < host_.TrackCount() &&
                         device_->TrackPosition(track + 1, &to);
    return device_->Play(&fromMs, bounded ? &to : nullptr, true);
}

int CCDPlay::PlayTrack(int track)
{
    if (!device_ || !device_->SetTimeFormat(cdrom::TimeFormat::Tmsf)) return 0;
    const std::uint32_t from = cdrom::MakeTmsf(track, 0, 0, 0);
    const std::uint32_t to = cdrom::MakeTmsf(track + 1, 0, 0, 0);
    const bool bounded = (host_.OnePlayOn() || host_.ShuffleOn()) && track < host_.TrackCount();
    if (!device_->Play(&from, bounded ? &to : nullptr, true)) return 0;
    host_.SetSeekBar(0);
    host_.ShowPlayState(psPlaying);
    host_.SetCdTimer(true);
    host_.StartNotifyTimer(kSuppressAfterPlayMs);
    ShowTrackInfo();
    return 1;
}

int CCDPlay::Resume()
{
    if (!device_ || !device_->SetTimeFormat(cdrom::TimeFormat::Milliseconds)) return 0;
    std::uint32_t position = 0;
    if (!device_->Position(&position)) return 0;
    suppressNotify = true;
    if (!PlayRange(position, host_.TrackIndex() + 1)) return 0;
    host_.ShowPlayState(psPlaying);
    host_.SetCdTimer(true);
    return 1;
}

void CCDPlay::TogglePause()
{
    if (!device_) return;
    switch (host_.ShownPlayState()) {
    case psStopped:
        PlayTrack(host_.TrackIndex() + 1);
        break;
    case psPaused:
        Resume();
        break;
    case psPlaying:
        suppressNotify = true;
        if (!device_->Pause()) return;
        host_.SetCdTimer(false);
        host_.ShowPlayState(psPaused);
        break;
    default:
        break;
    }
}

void CCDPlay::Stop()
{
    lookup_.reset();
    if (!device_) return;
    if (!device_->Stop()) return;
    host_.SetCdTimer(false);
    host_.ShowPlayState(psStopped);
    host_.SetSeekBar(0);
    host_.SetTimeText(QStringLiteral("0:00:00"));
}

void CCDPlay::ShowTrackInfo()
{
    if (!device_) return;
    int track = 0;
    if (device_->CurrentTrack(&track) && track >= 1) host_.SetTrackIndex(track - 1);
    device_->SetTimeFormat(cdrom::TimeFormat::Milliseconds);
    std::uint32_t length = 0;
    if (device_->TrackLength(host_.TrackIndex() + 1, &length))
        host_.ShowTrackLength(static_cast<int>(length / 100), TimeText(length / 1000));
    ShowLabels();
}

void CCDPlay::ShowLabels()
{
    const int index = host_.TrackIndex();
    if (index < 0 || index >= host_.TrackCount()) return;
    if (artist.isEmpty() && albumTitle.isEmpty()) return;
    const TPlayListItem entry = host_.Track(index);
    host_.ShowTitle(entry.Title);
    QString line = entry.Performer.isEmpty() ? artist : entry.Performer;
    if (!albumTitle.isEmpty()) line = line.isEmpty() ? albumTitle : line + QStringLiteral("    ") + albumTitle;
    host_.ShowArtistLine(line);
}

void CCDPlay::RefreshLayout()
{
    // The disc's texts lie on the view panel, as a sound file's do; the
    // window grows to show them.
    host_.LayOutForDiscTexts();
}

void CCDPlay::OnTimer()
{
    if (!device_) return;
    if (host_.SeekBarHeld()) return;
    device_->SetTimeFormat(cdrom::TimeFormat::Milliseconds);
    std::uint32_t position = 0, start = 0;
    if (!device_->Position(&position) || !device_->TrackPosition(host_.TrackIndex() + 1, &start)) return;
    const std::int64_t elapsed = static_cast<std::int64_t>(position) - start;
    if (!host_.SeekBarMoved()) {
        if (elapsed / 100 > host_.SeekBarMaximum() || elapsed < 0) {
            // The disc went on into another track.
            int track = 0;
            if (device_->CurrentTrack(&track) && track != host_.TrackIndex() + 1) ShowTrackInfo();
        } else {
            host_.SetSeekBar(static_cast<int>(elapsed / 100));
            host_.ShowElapsed(static_cast<int>(elapsed / 1000));
        }
        return;
    }
    suppressNotify = true;
    PlayRange(static_cast<std::uint32_t>(host_.SeekBarValue()) * 100 + start, host_.TrackIndex() + 1);
    host_.ClearSeekBarMoved();
}

void CCDPlay::OnTrackEnd()
{
    host_.SetTimeText(QStringLiteral("0:00:00"));
    host_.SetSeekBar(0);
    const bool loop = host_.LoopOn() && !host_.PowerActionWaiting();
    if (host_.OnePlayOn()) {
        if (loop) {
            PlayTrack(host_.TrackIndex() + 1);
            return;
        }
    } else {
        const bool shuffle = host_.ShuffleOn();
        const bool lastTrack = host_.TrackIndex() + 1 >= host_.TrackCount();
        if (shuffle || lastTrack) {
            const bool entriesLeft = shuffle && host_.ShuffleEntriesLeft();
            suppressNotify = true;
            if (host_.TrackCount() >= 2) {
                host_.PlayNextEntry();
            } else if (loop) {
                // A disc of one track has no next entry: looping plays it again.
                PlayTrack(1);
            }
            if (entriesLeft) return;
        }
    }
    if (loop) return;
    suppressNotify = true;
    host_.SetCdTimer(false);
    if (device_ && device_->Stop()) host_.ShowPlayState(psStopped);
    if (host_.PowerActionWaiting()) host_.StartPowerAction();
}

bool CCDPlay::ApplyOnePlay()
{
    if (!device_ || host_.ShownPlayState() != psPlaying) return true;
    device_->SetTimeFormat(cdrom::TimeFormat::Milliseconds);
    std::uint32_t position = 0;
    if (!device_->Position(&position)) return false;
    suppressNotify = true;
    return PlayRange(position, host_.TrackIndex() + 1);
}

void CCDPlay::LookUpCdDatabase(int trackCount) { StartLookUp(trackCount, TLookUpFor::Call); }

void CCDPlay::QueryCdDatabase() { StartLookUp(host_.TrackCount(), TLookUpFor::Menu); }

void CCDPlay::StartLookUp(int trackCount, TLookUpFor purpose)
{
    lookup_.reset();   // a look-up still running gives way
    // The entry played when the look-up began is shown by its new titles.
    const int index = host_.TrackIndex();
    lookup_ = std::make_unique<TCddbLookup>(discId, queryCommand, trackCount,
                                            [this, trackCount, purpose, index](const TCddbAnswer& answer) {
        if (TakeLookUpAnswer(answer, trackCount) != 1) return;
        if (purpose == TLookUpFor::Menu) {
            ShowQueriedEntry(index);
        } else if (purpose == TLookUpFor::Open) {
            host_.EnableSaveTitles();
            ShowTrackInfo();
            RefreshLayout();
        }
    });
}

int CCDPlay::TakeLookUpAnswer(const TCddbAnswer& answer, int trackCount)
{
    if (!answer.loaded) return 0;
    const int result = answer.result;
    if (result == 0) {
        if (answer.haveArtist) artist = answer.artist;
        if (answer.haveAlbum) albumTitle = answer.album;
        // A read that failed answers 0 with no titles at all; the titles
        // already shown (CD-TEXT, cdplayer.ini) are the user's and must not
        // turn into "TRACK n".
        if (answer.haveTrackExport && (answer.anyTitle || host_.TrackCount() == 0)) {
            host_.ClearTracks();
            for (int t = 1; t <= trackCount; ++t) {
                TPlayListItem item;
                if (static_cast<size_t>(t) <= answer.titles.size()) item.Title = answer.titles[static_cast<size_t>(t - 1)];
                SplitVarious(artist, &item.Title, &item.Performer);
                if (item.Title.isEmpty()) item.Title = TrackTitle(t);
                host_.AddTrack(item);
            }
        }
        if (iniAutoSave) SaveCdIni();
        return 1;
    }
    QString text;
    switch (result) {
    case 1: text = QStringLiteral("接続にに失敗しました。"); break;
    case 202: text = QStringLiteral("一致するデータがありません。"); break;
    case 2: break;
    default: text = QStringLiteral("データの取得に失敗しました。"); break;
    }
    if (!text.isEmpty()) host_.Inform(text);
    return 0;
}

void CCDPlay::ShowQueriedEntry(int index)
{
    if (index >= 0 && index < host_.TrackCount()) {
        host_.SetTrackIndex(index);
        const TPlayListItem entry = host_.Track(index);
        host_.ShowTitle(entry.Title);
        if (!artist.isEmpty() || !albumTitle.isEmpty()) {
            QString line = !entry.Performer.isEmpty() ? entry.Performer : artist;
            if (!albumTitle.isEmpty()) line = line.isEmpty() ? albumTitle : line + QStringLiteral("    ") + albumTitle;
            host_.ShowArtistLine(line);
        }
    }
    CheckLanguage(-1);
    RefreshLayout();
    host_.EnableSaveTitles();
}

void CCDPlay::SaveCdIni()
{
    if (artist.isEmpty() || albumTitle.isEmpty() || drive_.isEmpty()) return;
    CCDINI ini(drive_);
    if (ini.section.isEmpty()) return;
    ini.artist = artist;
    ini.title = albumTitle;
    for (int i = 0; i < host_.TrackCount(); ++i) {
        const TPlayListItem entry = host_.Track(i);
        ini.AddTitle(entry.Performer.isEmpty() ? entry.Title : entry.Performer + QStringLiteral(" / ") + entry.Title);
    }
    ini.Write();
}

void CCDPlay::CloseDevice()
{
    lookup_.reset();
    host_.SetCdTimer(false);
    if (!device_) return;
    // The CD line goes back (with ResetAudioMixer) while the device still answers.
    host_.SetCdVolumeControl(nullptr);
    volumeControl_.device = nullptr;
    device_->Stop();
    if (device_->Close()) drive_.clear();
    device_.reset();
}

// The audio-CD player on the CD-audio device.
#include "Ccdplay.h"

#include "Ccdplayerini.h"
#include "Cdinfo.h"
#include "Cstrings.h"
#include "Reghelp.h"
#include "Zodlg.h"
#include "platform/dialogs/dialogs.h"
#include "player/ZoMain.h"
#include "ui_ZoMain.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QSlider>
#include <QToolButton>

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

// A Get export called twice: for the length, then into a buffer of length + 1.
template <typename Call>
bool FetchText(Call call, QString* text)
{
    const int length = call(nullptr);
    if (length <= 0) return false;
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
    if (call(buffer.data()) == 0) return false;
    buffer.back() = '\0';
    *text = DecodeLegacyText(QByteArray(buffer.data()));
    return true;
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

CCDPlay::CCDPlay(TZoMain* window) : window_(window)
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
    Ui::TZoMain* ui = window_->Form();
    ui->miOnePlay->setVisible(false);
    ui->CDDB1->menuAction()->setVisible(false);
    ui->NContinuousPlay->setVisible(true);
    // The file mode's menus come back with its seek-bar menu.
    ui->miWindowSizeMenu->menuAction()->setVisible(true);
    ui->miAspectMenu->menuAction()->setVisible(true);
    ui->NFullScreen->setVisible(true);
    ui->TrackBarForSeek->setContextMenuPolicy(Qt::CustomContextMenu);
    ui->TBtnShowCombo->setToolTip(QStringLiteral("ファイルの選択"));
    ui->TBtnNextTrack->setToolTip(QStringLiteral("次のファイル"));
    ui->TBtnPreviousTrack->setToolTip(QStringLiteral("前のファイル"));
    ui->miSaveToCDIni->setEnabled(false);
    // The bar showed the disc's own volume; the files' volume is its Tag.
    if (!window_->BalanceShown()) ui->TrackBarVolume->setValue(Tag(ui->TrackBarVolume));
}

void CCDPlay::SetCdTimer(bool on)
{
    if (on)
        window_->CDTimer->start();
    else
        window_->CDTimer->stop();
}

void CCDPlay::SetNotifyTimer(unsigned ms) { window_->SetTimer(kCdNotifyTimer, ms); }

void CCDPlay::OnNotify()
{
    if (suppressNotify)
        suppressNotify = false;
    else
        OnTrackEnd();
}

int CCDPlay::Open()
{
    Ui::TZoMain* ui = window_->Form();
    suppressNotify = false;
    window_->update();
    // The whole drive name: its case is never changed.
    drive_ = window_->openDriveLetter_;
    window_->viewerPath_.clear();

    device_ = Factory() ? Factory()() : cdrom::CreateAudioDevice();
    if (!device_ || !device_->Open(drive_, window_)) {
        device_.reset();
        return 0;
    }
    // The mixer's CD line is this device's own volume while it is open.
    volumeControl_.device = device_.get();
    window_->SetCdVolumeControl(&volumeControl_);
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
    SetNotifyTimer(kSuppressAfterOpenMs);
    window_->item_.AudioOnly = true;
    TPlayListModel& list = window_->playList_;
    list.SetListIndex(0);

    bool started = false;
    if (ui->MShuffle->isChecked()) {
        list.BuildShuffleOrder();
        // A disc of one track has no order: it plays as without shuffle.
        if (list.HasShuffleOrder()) {
            list.SetListIndex(list.ShuffleOrder().front());
            if (!PlayTrack(list.ListIndex() + 1)) return 0;
            started = true;
        }
    }
    if (!started) {
        if (!device_->SetTimeFormat(cdrom::TimeFormat::Milliseconds) || !device_->Play(nullptr, nullptr, true)) return 0;
    }

    // The device's own volume stands for the CD line of the mixer.
    ui->TrackBarVolume->setValue(device_->Volume() * 100 / cdrom::kMaxVolume);

    ui->TBtnShowCombo->setToolTip(QStringLiteral("トラックの選択"));
    ui->TBtnNextTrack->setToolTip(QStringLiteral("次のトラック"));
    ui->TBtnPreviousTrack->setToolTip(QStringLiteral("前のトラック"));
    ui->TrackBarForSeek->setContextMenuPolicy(Qt::NoContextMenu);
    ui->miWindowSizeMenu->menuAction()->setVisible(false);
    ui->miAspectMenu->menuAction()->setVisible(false);
    ui->NFullScreen->setVisible(false);
    ui->NLoop->setVisible(true);
    ui->miOnePlay->setVisible(true);
    ui->CDDB1->menuAction()->setVisible(true);
    ui->NContinuousPlay->setVisible(false);
    ui->TBtnNextTrack->setEnabled(tracks >= 2);
    ui->TBtnPreviousTrack->setEnabled(tracks >= 2);
    for (QWidget* w : {static_cast<QWidget*>(ui->BtnStepFrame), static_cast<QWidget*>(ui->BtnSkip),
                       static_cast<QWidget*>(ui->TBtnFastforward), static_cast<QWidget*>(ui->TBtnRewind)})
        w->setEnabled(false);
    SetCdTimer(true);
    window_->SetPlayState(psPlaying);

    if (!titled && autoConnect) titled = LookUpCdDatabase(tracks) == 1;
    if (titled) ui->miSaveToCDIni->setEnabled(true);

    ShowTrackInfo();
    RefreshLayout();
    return 1;
}

void CCDPlay::FillDefaultTracks(int trackCount)
{
    window_->ClearPlayList();
    for (int t = 1; t <= trackCount; ++t) {
        TPlayListItem item;
        item.Title = TrackTitle(t);
        window_->playList_.Add(item, false, false);
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
    TPlayListModel& list = window_->playList_;
    if (list.Count() == count) {
        // Another language of the same tracks: the current entry and the
        // shuffle order stay.
        for (int i = 0; i < count; ++i) list.SetItem(i, items[static_cast<size_t>(i)]);
        return true;
    }
    window_->ClearPlayList();
    for (const TPlayListItem& item : items) list.Add(item, false, false);
    return true;
}

void CCDPlay::AddLanguageMenu(const std::uint8_t* languages)
{
    if (languageMenu_) return;
    QMenu* main = window_->Form()->MainPopupMenu;
    const QList<QAction*> items = main->actions();
    QAction* before = items.size() >= 3 ? items.at(items.size() - 3) : nullptr;
    languageMenu_ = new QMenu(QStringLiteral("CD-TEXT"), main);
    languageMenu_->menuAction()->setProperty("Tag", kCdTextMenuTag);
    main->insertMenu(before, languageMenu_);
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
    window_->Form()->MainPopupMenu->removeAction(menu->menuAction());
    delete menu;
    checkedBlock_ = -1;
}

void CCDPlay::OnLanguageClick(QAction* item)
{
    const int block = item->property("Tag").toInt();
    // A click only toggles the item: its check follows what the disc shows.
    CheckLanguage(checkedBlock_);
    if (block == checkedBlock_ || !device_) return;
    const int state = window_->PlayState();
    const bool timerWasOn = window_->CDTimer->isActive();
    suppressNotify = true;
    std::uint32_t position = 0;
    bool stoppedHere = false;
    if (state != psStopped) {
        device_->SetTimeFormat(cdrom::TimeFormat::Milliseconds);
        stoppedHere = device_->Position(&position);
        device_->Stop();
        SetCdTimer(false);
    }
    const bool read = ReadCdText(drive_, window_->playList_.Count(), block);
    if (read) CheckLanguage(block);
    if (stoppedHere) {
        // The disc goes on where it was, with the new titles or the old ones.
        PlayRange(position, window_->ListIndex() + 1);
        if (state == psPaused) device_->Pause();
        SetCdTimer(read || timerWasOn);
    }
    window_->playList_.SetListIndex(window_->ListIndex());
    ShowLabels();
    RefreshLayout();
    SetNotifyTimer(kSuppressAfterLanguageMs);
}

bool CCDPlay::ReadCdIni(int trackCount)
{
    CCDINI ini(drive_);
    if (ini.section.isEmpty() || ini.Read() != trackCount || ini.titles.size() != trackCount) return false;
    artist = ini.artist;
    albumTitle = ini.title;
    window_->ClearPlayList();
    for (const QString& stored : ini.titles) {
        TPlayListItem item;
        item.Title = stored;
        SplitVarious(artist, &item.Title, &item.Performer);
        window_->playList_.Add(item, false, false);
    }
    return true;
}

bool CCDPlay::PlayRange(std::uint32_t fromMs, int track)
{
    if (!device_ || !device_->SetTimeFormat(cdrom::TimeFormat::Milliseconds)) return false;
    Ui::TZoMain* ui = window_->Form();
    std::uint32_t to = 0;
    const bool bounded = (ui->miOnePlay->isChecked() || ui->MShuffle->isChecked()) &&
                         track < window_->playList_.Count() && device_->TrackPosition(track + 1, &to);
    return device_->Play(&fromMs, bounded ? &to : nullptr, true);
}

int CCDPlay::PlayTrack(int track)
{
    if (!device_ || !device_->SetTimeFormat(cdrom::TimeFormat::Tmsf)) return 0;
    Ui::TZoMain* ui = window_->Form();
    const std::uint32_t from = cdrom::MakeTmsf(track, 0, 0, 0);
    const std::uint32_t to = cdrom::MakeTmsf(track + 1, 0, 0, 0);
    const bool bounded =
        (ui->miOnePlay->isChecked() || ui->MShuffle->isChecked()) && track < window_->playList_.Count();
    if (!device_->Play(&from, bounded ? &to : nullptr, true)) return 0;
    window_->SetSeekBar(0);
    window_->SetPlayState(psPlaying);
    SetCdTimer(true);
    SetNotifyTimer(kSuppressAfterPlayMs);
    ShowTrackInfo();
    return 1;
}

int CCDPlay::Resume()
{
    if (!device_ || !device_->SetTimeFormat(cdrom::TimeFormat::Milliseconds)) return 0;
    std::uint32_t position = 0;
    if (!device_->Position(&position)) return 0;
    suppressNotify = true;
    if (!PlayRange(position, window_->ListIndex() + 1)) return 0;
    window_->SetPlayState(psPlaying);
    SetCdTimer(true);
    return 1;
}

void CCDPlay::TogglePause()
{
    if (!device_) return;
    switch (window_->PlayState()) {
    case psStopped:
        PlayTrack(window_->ListIndex() + 1);
        break;
    case psPaused:
        Resume();
        break;
    case psPlaying:
        suppressNotify = true;
        if (!device_->Pause()) return;
        SetCdTimer(false);
        window_->SetPlayState(psPaused);
        break;
    default:
        break;
    }
}

void CCDPlay::Stop()
{
    if (!device_) return;
    if (!device_->Stop()) return;
    SetCdTimer(false);
    window_->SetPlayState(psStopped);
    window_->SetSeekBar(0);
    window_->Form()->tnTime->setText(QStringLiteral("0:00:00"));
}

void CCDPlay::ShowTrackInfo()
{
    if (!device_) return;
    Ui::TZoMain* ui = window_->Form();
    int track = 0;
    if (device_->CurrentTrack(&track) && track >= 1) window_->playList_.SetListIndex(track - 1);
    device_->SetTimeFormat(cdrom::TimeFormat::Milliseconds);
    std::uint32_t length = 0;
    if (device_->TrackLength(window_->ListIndex() + 1, &length)) {
        window_->SetSeekBarMaximum(static_cast<int>(length / 100));
        ui->TrackBarForSeek->setEnabled(true);
        ui->taTime->setText(TimeText(length / 1000));
    }
    ShowLabels();
}

void CCDPlay::ShowLabels()
{
    Ui::TZoMain* ui = window_->Form();
    const TPlayListModel& list = window_->playList_;
    if (!list.IsValidIndex(list.ListIndex())) return;
    if (artist.isEmpty() && albumTitle.isEmpty()) return;
    const TPlayListItem& entry = list.Item(list.ListIndex());
    ui->LblTitle->setText(entry.Title);
    QString line = entry.Performer.isEmpty() ? artist : entry.Performer;
    if (!albumTitle.isEmpty()) line = line.isEmpty() ? albumTitle : line + QStringLiteral("    ") + albumTitle;
    ui->LblArtist->setText(line);
}

void CCDPlay::RefreshLayout()
{
    // The disc's texts lie on the view panel, as a sound file's do; the
    // window grows to show them.
    Ui::TZoMain* ui = window_->Form();
    ui->LblTitle->setVisible(true);
    ui->LblArtist->setVisible(true);
    window_->SizeWindowForMedia();
    window_->LayoutControls();
}

void CCDPlay::OnTimer()
{
    if (!device_) return;
    Ui::TZoMain* ui = window_->Form();
    QSlider* bar = ui->TrackBarForSeek;
    if (bar->isSliderDown()) return;
    device_->SetTimeFormat(cdrom::TimeFormat::Milliseconds);
    std::uint32_t position = 0, start = 0;
    if (!device_->Position(&position) || !device_->TrackPosition(window_->ListIndex() + 1, &start)) return;
    const std::int64_t elapsed = static_cast<std::int64_t>(position) - start;
    if (!window_->item_.SeekBarMoved) {
        if (elapsed / 100 > bar->maximum() || elapsed < 0) {
            // The disc went on into another track.
            int track = 0;
            if (device_->CurrentTrack(&track) && track != window_->ListIndex() + 1) ShowTrackInfo();
        } else {
            window_->SetSeekBar(static_cast<int>(elapsed / 100));
            window_->FormatTime(static_cast<int>(elapsed / 1000));
        }
        return;
    }
    suppressNotify = true;
    PlayRange(static_cast<std::uint32_t>(bar->value()) * 100 + start, window_->ListIndex() + 1);
    window_->item_.SeekBarMoved = false;
}

void CCDPlay::OnTrackEnd()
{
    Ui::TZoMain* ui = window_->Form();
    ui->tnTime->setText(QStringLiteral("0:00:00"));
    window_->SetSeekBar(0);
    const bool powerAction = ui->TBPowerState->isChecked();
    const bool loop = ui->NLoop->isChecked() && !powerAction;
    TPlayListModel& list = window_->playList_;
    if (ui->miOnePlay->isChecked()) {
        if (loop) {
            PlayTrack(list.ListIndex() + 1);
            return;
        }
    } else {
        const bool shuffle = ui->MShuffle->isChecked();
        const bool lastTrack = list.ListIndex() + 1 >= list.Count();
        if (shuffle || lastTrack) {
            const bool entriesLeft = shuffle && list.HasShuffleOrder() && !list.IsAtLastPosition(true);
            suppressNotify = true;
            if (list.Count() >= 2) {
                window_->PlayNextFile();
            } else if (loop) {
                // A disc of one track has no next entry: looping plays it again.
                PlayTrack(1);
            }
            if (entriesLeft) return;
        }
    }
    if (loop) return;
    suppressNotify = true;
    SetCdTimer(false);
    if (device_ && device_->Stop()) window_->SetPlayState(psStopped);
    // The after-playback power action starts here once its window exists.
}

bool CCDPlay::ApplyOnePlay()
{
    if (!device_ || window_->PlayState() != psPlaying) return true;
    device_->SetTimeFormat(cdrom::TimeFormat::Milliseconds);
    std::uint32_t position = 0;
    if (!device_->Position(&position)) return false;
    suppressNotify = true;
    return PlayRange(position, window_->ListIndex() + 1);
}

int CCDPlay::LookUpCdDatabase(int trackCount)
{
    int result = -1;
    {
        TZodlgLibrary library;
        if (!library.IsLoaded()) return 0;
        if (auto init = library.Find<InitCDDB2Proc>("InitCDDB2")) {
            const QByteArray query = queryCommand.toUtf8();
            result = init(discId, query.constData());
        }
        if (result == 0) {
            if (auto get = library.Find<GetAlbumTextProc>("GetAlbumArtist"))
                FetchText([get](char* b) { return get(b); }, &artist);
            if (auto get = library.Find<GetAlbumTextProc>("GetAlbumTitle"))
                FetchText([get](char* b) { return get(b); }, &albumTitle);
            if (auto get = library.Find<GetTrackTitleProc>("GetTrackTitle")) {
                window_->ClearPlayList();
                for (int t = 1; t <= trackCount; ++t) {
                    TPlayListItem item;
                    FetchText([get, t](char* b) { return get(static_cast<std::uint32_t>(t), b); }, &item.Title);
                    SplitVarious(artist, &item.Title, &item.Performer);
                    if (item.Title.isEmpty()) item.Title = TrackTitle(t);
                    window_->playList_.Add(item, false, false);
                }
            }
        }
    }
    if (result == 0) {
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
    if (!text.isEmpty()) MessageBox(window_, text, QStringLiteral("情報"), MB_ICONINFORMATION | MB_TOPMOST);
    return 0;
}

void CCDPlay::QueryCdDatabase()
{
    window_->update();
    const int index = window_->ListIndex();
    if (!LookUpCdDatabase(window_->playList_.Count())) return;
    TPlayListModel& list = window_->playList_;
    Ui::TZoMain* ui = window_->Form();
    if (list.IsValidIndex(index)) {
        list.SetListIndex(index);
        const TPlayListItem& entry = list.Item(index);
        ui->LblTitle->setText(entry.Title);
        if (!artist.isEmpty() || !albumTitle.isEmpty()) {
            QString line = !entry.Performer.isEmpty() ? entry.Performer : artist;
            if (!albumTitle.isEmpty()) line = line.isEmpty() ? albumTitle : line + QStringLiteral("    ") + albumTitle;
            ui->LblArtist->setText(line);
        }
    }
    CheckLanguage(-1);
    RefreshLayout();
    ui->miSaveToCDIni->setEnabled(true);
}

void CCDPlay::SaveCdIni()
{
    if (artist.isEmpty() || albumTitle.isEmpty() || window_->openDriveLetter_.isEmpty()) return;
    CCDINI ini(window_->openDriveLetter_);
    if (ini.section.isEmpty()) return;
    ini.artist = artist;
    ini.title = albumTitle;
    for (const TPlayListItem& entry : window_->playList_.Items())
        ini.AddTitle(entry.Performer.isEmpty() ? entry.Title : entry.Performer + QStringLiteral(" / ") + entry.Title);
    ini.Write();
}

void CCDPlay::CloseDevice()
{
    SetCdTimer(false);
    if (!device_) return;
    // The CD line goes back (with ResetAudioMixer) while the device still answers.
    window_->ReleaseAudioMixer();
    window_->SetCdVolumeControl(nullptr);
    volumeControl_.device = nullptr;
    device_->Stop();
    if (device_->Close()) window_->openDriveLetter_.clear();
    device_.reset();
}

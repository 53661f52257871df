#include "player/units/Commands.h"

#include "common/Reghelp.h"

#include <algorithm>
#include <array>

namespace {

using T = TCommandTarget;

// Captions and value names are the stored and shown texts of the player.
const TCommand kCommands[] = {
    {0, "Open", "開く", false, false, &T::BtnOpenClick},
    {1, "Play", "再生/一時停止", false, false, &T::BtnStartClick},
    {2, "Stop", "停止", false, false, &T::miStopClick},
    {3, "FastForward", "早送り", false, false, &T::miForwardClick},
    {4, "Rewind", "巻き戻し", false, false, &T::miRewindClick},
    {5, "Next", "次のファイル(チャプター)", false, false, &T::miPlayNextClick},
    {6, "Previous", "前のファイル(チャプター)", false, false, &T::miPlayPreviousClick},
    {7, "StepFrame", "コマ送り", false, false, &T::FrameStepForward},
    {8, "StepFrameBackward", "コマ戻し", false, false, &T::FrameStepBackward},
    {9, "Skip", "スキップ", false, false, &T::SkipCommand},
    {10, "SkipBackward", "逆スキップ", false, false, &T::SkipBackCommand},
    {11, "SkipSmall", "スキップ(マウス)", true, false, &T::SkipSmallCommand, &T::MouseSkipAllowed, true},
    {12, "SkipBackSmall", "逆スキップ(マウス)", true, false, &T::SkipBackSmallCommand, &T::MouseSkipAllowed, true},
    {13, "List", "再生リスト表示", false, false, &T::TBtnShowComboClick},
    {14, "SelectedSize", "選択したサイズ", false, false, &T::SelectedSizeCommand},
    {15, "640", "640x480", false, false, &T::Size640Command},
    {16, "320", "320x240", false, false, &T::Size320Command},
    {17, "SourceSize", "ソースサイズ", false, false, &T::SourceSizeCommand},
    {18, "KeepSize", "前回のサイズを維持", false, false, &T::KeepSizeCommand},
    {19, "FitWindow", "ウィンドウを画像にあわせる", false, false, &T::FitWindowCommand},
    {20, "SelectCurrentSize", "現在のサイズを選択", false, false, &T::NSelectCurrentSizeClick},
    {21, "SourceAspectRatio", "アスペクト比(オリジナル)", false, false, &T::SourceAspectCommand},
    {22, "4:3", "アスペクト比(4:3)", false, false, &T::Aspect43Command},
    {23, "16:9", "アスペクト比(16:9)", false, false, &T::Aspect169Command},
    {24, "UnlockAspectRatio", "アスペクト比を固定しない", false, false, &T::UnlockAspectCommand},
    {25, "ContinuousPlay", "連続再生", false, false, &T::NContinuousPlayClick},
    {26, "Loop", "繰り返し再生する", false, false, &T::LoopCommand},
    {27, "Shuffle", "シャッフル", false, false, &T::MShuffleClick},
    {28, "AlwaysOnTop", "常に手前に表示", false, false, &T::PMForegroundClick},
    {29, "Configure", "設定", false, false, &T::NPropertyClick},
    {30, "VolumeUp", "ボリュームアップ", false, true, &T::miVolumeUpClick},
    {31, "VolumeDown", "ボリュームダウン", false, true, &T::miVolumeDnClick},
    {32, "VolumeMute", "ミュート", false, false, &T::miVolumeMuteClick},
    {33, "Capture", "キャプチャダイアログ", false, false, &T::miShowCapDlgClick},
    {34, "ListDialog", "リスト編集", false, false, &T::miShowEditListClick},
    {35, "FileBrowser", "ファイルブラウザ", false, false, &T::miShowBrowserClick},
    {36, "SwitchWindow", "ウィンドウ切り替え", false, false, &T::miChangeWindowClick},
    {37, "LibraryViewer", "ライブラリビュワー", false, false, &T::TBtnShowLibraryClick, &T::LibraryButtonShown},
    {38, "FolderViewer", "フォルダビュワー", false, false, &T::TBtnShowFolder1Click, &T::FolderButtonShown},
    {39, "ColorSetting", "カラー設定ダイアログ", false, false, &T::MIColorClick},
    {40, "SelStart", "AB間リピート(開始位置)", false, false, &T::SelTrackSClick},
    {41, "SelEnd", "AB間リピート(停止位置)", false, false, &T::SelTrackEClick},
    {42, "SelClear", "AB間リピート(解除)", false, false, &T::SelTrackCClick},
    {43, "Fullscreen", "フルスクリーン", false, false, &T::NFullScreenClick},
    {44, "DVDForward", "(DVD)早送り", false, false, &T::miDVDForwardClick},
    {45, "DVDRewind", "(DVD)巻き戻し", false, false, &T::miDVDRewindClick},
    {46, "Bookmark", "ブックマーク作成", false, false, &T::miMakeBkmrkClick},
    {47, "BookmarkDialog", "ブックマークダイアログ", false, false, &T::miShowBkmrkDlgClick},
    {48, "RootMenu", "(DVD)ルートメニュー", false, false, &T::NRootMenuClick},
    {49, "TitleMunu", "(DVD)タイトルメニュー", false, false, &T::NTitleMenuClick},
    {50, "ShowSubPicture", "(DVD)字幕表示", false, false, &T::NDisplaySPClick},
    {51, "DVDMenuUp", "(DVD)メニュー 上", false, false, &T::miDVDMenuUClick},
    {52, "DVDMenuDown", "(DVD)メニュー 下", false, false, &T::miDVDMenuDClick},
    {53, "DVDMenuLeft", "(DVD)メニュー 左", false, false, &T::miDVDMenuLClick},
    {54, "DVDMenuRight", "(DVD)メニュー 右", false, false, &T::miDVDMenuRClick},
    // The colour presets and the section keys have key items of their own.
    {55, "Color1", "カラープリセット1", false, true, nullptr},
    {56, "Color2", "カラープリセット2", false, true, nullptr},
    {57, "Color3", "カラープリセット3", false, true, nullptr},
    {58, "Color4", "カラープリセット4", false, true, nullptr},
    {59, "Color5", "カラープリセット5", false, true, nullptr},
    {60, "PreviousBmk", "前のブックマーク", false, false, &T::miPreviousBmkClick},
    {61, "NextBmk", "次のブックマーク", false, false, &T::miNextBmkClick},
    {62, "SaveABPos", "AB間リピート(保存)", false, true, nullptr},
    {63, "ChainSections", "AB間リピート(区間連続)", false, true, nullptr},
    {66, "VideoSizeRatio", "アスペクト比(サイズ比)", false, false, &T::SizeRatioAspectCommand},
};

constexpr std::array<int, 65> kDialogOrder = [] {
    std::array<int, 65> order{};
    int n = 0;
    for (int i = 0; i <= 21; ++i) order[n++] = i;
    order[n++] = 66;
    for (int i = 22; i <= 63; ++i) order[n++] = i;
    return order;
}();

}  // namespace

std::span<const TCommand> Commands() { return kCommands; }

const TCommand* FindCommand(int number)
{
    const auto it = std::find_if(std::begin(kCommands), std::end(kCommands),
                                 [number](const TCommand& c) { return c.Number == number; });
    return it == std::end(kCommands) ? nullptr : &*it;
}

std::span<const int> DialogCommandOrder() { return kDialogOrder; }

bool RunCommand(TCommandTarget& target, int number)
{
    if (number < 0) return false;
    const TCommand* command = FindCommand(number);
    if (!command || !command->Run) return true;
    if (command->Allowed && !(target.*command->Allowed)()) return !command->KeepLatchWhenRefused;
    (target.*command->Run)();
    return true;
}

bool ReadDvdMouseActions(TMouseActions* actions)
{
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kMainKey, KEY_READ);
    if (!key) return false;
    const TMouseActions defaults{1, -1, -1, -1, 12, 11};
    auto read = [&key](const char* name, int def) {
        return static_cast<int>(RegReadDword(key.get(), name, static_cast<DWORD>(def)));
    };
    actions->MouseDouble = read("DVDMouseDouble", defaults.MouseDouble);
    actions->MouseMiddle = read("DVDMouseMiddle", defaults.MouseMiddle);
    actions->WheelUp = read("DVDWheelUp", defaults.WheelUp);
    actions->WheelDown = read("DVDWheelDown", defaults.WheelDown);
    actions->MouseX1 = read("DVDMouseX1", defaults.MouseX1);
    actions->MouseX2 = read("DVDMouseX2", defaults.MouseX2);
    return true;
}

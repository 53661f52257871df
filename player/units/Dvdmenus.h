// The texts and numbers behind the DVD pop-up menu, apart from any window:
// the captions of the title, chapter, audio and subpicture items, the
// karaoke channel names and mixing flags, the fast-play speed cycle, the
// pan-and-scan rectangle and when the full-screen pointer may hide.
#pragma once

#include "platform/dvd/navigator.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

namespace dvdmenus {

// "タイトル 1" for title 1 (numbers from 1).
QString TitleCaption(int title);
// "チャプター 1": the play-list entry of a chapter, title and path alike.
QString ChapterCaption(int chapter);

// The Japanese display name of an ISO 639 language code, as the desktop's
// locale data names it ("英語" for "en"); the code itself when the data
// knows no name for it, empty for an empty code.
QString LanguageName(const QString& iso639);

// The navigator's audio formats: 0 "Dolby AC-3", 1 "MPEG-1", 2
// "MPEG-1(DRC)", 3 "MPEG-2", 4 "MPEG-2(DRC)", 5 "LPCM", 6 "DTS", 7 "SDDS";
// empty for any other.
QString AudioFormatName(int format);
// " 5.1ch" for six channels, else a blank, the count and "ch".
QString ChannelsText(int channels);
// Audio language extensions: 2 " [弱視者向け]", 3 " [Director Comments 1]",
// 4 " [Director Comments 2]"; empty for any other.
QString AudioExtensionSuffix(int extension);
// Subpicture language extensions: 2 and 6 "[大]", 3 and 7 "[子供向け]", 13
// "[Director Comments]", 14 "[Director Comments(大)]", 15
// "[Director Comments(子供向け)]"; empty for any other.
QString SubpictureExtensionSuffix(int extension);

// The caption of an audio item: language name, format name, channels and
// extension ("英語 Dolby AC-3 5.1ch"); empty for a stream without a language,
// which gets no item.
QString AudioCaption(const dvd::AudioAttributes& audio);
// The caption of a subpicture item: language name and extension; empty for a
// stream without a language.
QString SubpictureCaption(const dvd::SubpictureAttributes& subpicture);

// The name of a karaoke channel from its contents bits (the lowest set bit
// counts): 1 "ガイドボーカル1", 2 "ガイドボーカル2", 4 "ガイドメロディ1",
// 8 "ガイドメロディ2", 16 "ガイドメロディA", 32 "ガイドメロディB",
// 64 "サウンドエフェクトA", 128 "サウンドエフェクトB"; "Unknown" without one.
QString KaraokeChannelName(int contents);
// The mixing flags of the karaoke items by Tag: each item carries the name
// of channel 2, 3 or 4 and puts that channel into both speakers (0x404,
// 0x808, 0x1010); 0 for any other.
ULONG KaraokeMixFlags(int tag);

// The next fast-play speed after the last reported rate: forwards 4 after
// 2 and 8 after 4, backwards 4 after -2 and 8 after -4; 2 otherwise, so
// that the speeds cycle 2, 4, 8, 2 in either direction.
double NextFastSpeed(double lastRate, bool forward);

// Pan-and-scan: the picture's rectangle in full screen, its height `height`
// filling the screen, its width kept to the picture's shape, centred (the
// sides that do not fit are cut). Empty when the picture has no size.
QRect PanScanRect(int height, int clientWidth, long videoWidth, long videoHeight);
// The height a pan-and-scan mode fills: the screen's for the cinemascope
// mode of a 16:9 picture outside menus, the client area's otherwise.
int PanScanHeight(bool cinemascope, bool widePicture, bool inMenu, int screenHeight, int clientHeight);

// Whether the full-screen pointer may hide now: not over the control strip
// (the bottom 60 pixels of the client area), not while a dialog is open, not
// over another window of the program (a tool window).
bool PointerMayHide(const QPoint& client, const QSize& clientSize, bool dialogOpen, bool overOtherWindow);

}  // namespace dvdmenus

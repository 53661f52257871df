#include "units/Dvdmenus.h"

#include "units/Windowgeometry.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <cmath>

namespace dvdmenus {

QString TitleCaption(int title) { return QStringLiteral("タイトル %1").arg(title); }

QString ChapterCaption(int chapter) { return QStringLiteral("チャプター %1").arg(chapter); }

QString LanguageName(const QString& iso639)
{
    const QString code = iso639.trimmed().toLower();
    if (code.isEmpty()) return {};
    // Only letters reach ICU: it would take anything else as a locale name.
    for (QChar c : code)
        if (c < u'a' || c > u'z') return code;
    const icu::Locale locale(code.toLatin1().constData());
    icu::UnicodeString name;
    locale.getDisplayLanguage(icu::Locale::getJapanese(), name);
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(name.getBuffer()), name.length());
    return text.isEmpty() ? code : text;
}

QString AudioFormatName(int format)
{
    switch (format) {
    case 0: return QStringLiteral("Dolby AC-3");
    case 1: return QStringLiteral("MPEG-1");
    case 2: return QStringLiteral("MPEG-1(DRC)");
    case 3: return QStringLiteral("MPEG-2");
    case 4: return QStringLiteral("MPEG-2(DRC)");
    case 5: return QStringLiteral("LPCM");
    case 6: return QStringLiteral("DTS");
    case 7: return QStringLiteral("SDDS");
    default: return {};
    }
}

QString ChannelsText(int channels)
{
    if (channels == 6) return QStringLiteral(" 5.1ch");
    return QStringLiteral(" %1ch").arg(channels);
}

QString AudioExtensionSuffix(int extension)
{
    switch (extension) {
    case 2: return QStringLiteral(" [弱視者向け]");
    case 3: return QStringLiteral(" [Director Comments 1]");
    case 4: return QStringLiteral(" [Director Comments 2]");
    default: return {};
    }
}

QString SubpictureExtensionSuffix(int extension)
{
    switch (extension) {
    case 2:
    case 6: return QStringLiteral("[大]");
    case 3:
    case 7: return QStringLiteral("[子供向け]");
    case 13: return QStringLiteral("[Director Comments]");
    case 14: return QStringLiteral("[Director Comments(大)]");
    case 15: return QStringLiteral("[Director Comments(子供向け)]");
    default: return {};
    }
}

QString AudioCaption(const dvd::AudioAttributes& audio)
{
    if (audio.language.isEmpty()) return {};
    QString caption = LanguageName(audio.language);
    const QString format = AudioFormatName(audio.format);
    if (!format.isEmpty()) caption += u' ' + format;
    return caption + ChannelsText(audio.channels) + AudioExtensionSuffix(audio.extension);
}

QString SubpictureCaption(const dvd::SubpictureAttributes& subpicture)
{
    if (subpicture.language.isEmpty()) return {};
    const QString suffix = SubpictureExtensionSuffix(subpicture.extension);
    const QString name = LanguageName(subpicture.language);
    return suffix.isEmpty() ? name : name + u' ' + suffix;
}

QString KaraokeChannelName(int contents)
{
    static const char* const kNames[] = {"ガイドボーカル1",  "ガイドボーカル2",  "ガイドメロディ1",    "ガイドメロディ2",
                                         "ガイドメロディA", "ガイドメロディB", "サウンドエフェクトA", "サウンドエフェクトB"};
    for (int bit = 0; bit < 8; ++bit)
        if (contents & (1 << bit)) return QString::fromUtf8(kNames[bit]);
    return QStringLiteral("Unknown");
}

ULONG KaraokeMixFlags(int tag)
{
    switch (tag) {
    case 1: return dvd::KARAOKE_MIX_2_LEFT | dvd::KARAOKE_MIX_2_RIGHT;
    case 2: return dvd::KARAOKE_MIX_3_LEFT | dvd::KARAOKE_MIX_3_RIGHT;
    case 3: return dvd::KARAOKE_MIX_4_LEFT | dvd::KARAOKE_MIX_4_RIGHT;
    default: return 0;
    }
}

double NextFastSpeed(double lastRate, bool forward)
{
    // The reported rate is rounded to a tenth.
    const double last = forward ? lastRate : -lastRate;
    if (std::fabs(last - 2.0) < 0.05) return 4.0;
    if (std::fabs(last - 4.0) < 0.05) return 8.0;
    return 2.0;
}

QRect PanScanRect(int height, int clientWidth, long videoWidth, long videoHeight)
{
    if (height <= 0 || videoWidth <= 0 || videoHeight <= 0) return {};
    const int width = int(qint64(height) * videoWidth / videoHeight);
    return QRect(-(width - clientWidth) / 2, 0, width, height);
}

int PanScanHeight(bool cinemascope, bool widePicture, bool inMenu, int screenHeight, int clientHeight)
{
    return cinemascope && widePicture && !inMenu ? screenHeight : clientHeight;
}

bool PointerMayHide(const QPoint& client, const QSize& clientSize, bool dialogOpen, bool overOtherWindow)
{
    if (dialogOpen || overOtherWindow) return false;
    const bool inClient = QRect(QPoint(0, 0), clientSize).contains(client);
    return !(inClient && client.y() >= clientSize.height() - geometry::kControlsHeight);
}

}  // namespace dvdmenus

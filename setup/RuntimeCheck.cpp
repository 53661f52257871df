#include "setup/RuntimeCheck.h"

#include "platform/media/runtimecheck.h"

#include <QStringList>

#include <algorithm>

namespace zoset {

namespace {

DWORD PackRuntimeVersion(unsigned major, unsigned minor, unsigned micro)
{
    // A field past a byte would spill into the next one and read as newer.
    return std::min(major, 255u) << 16 | std::min(minor, 255u) << 8 | std::min(micro, 255u);
}

}  // namespace

HRESULT QueryDirectXVersionDxDiag(unsigned* major, unsigned* minor, unsigned* micro)
{
    media::RuntimeProbe runtime;
    if (!runtime.Load()) return E_FAIL;
    runtime.Version(major, minor, micro);
    return S_OK;
}

HRESULT GetDirectXVersion(DWORD* version, QString* text)
{
    *version = 0;
    text->clear();
    unsigned major = 0, minor = 0, micro = 0;
    if (QueryDirectXVersionDxDiag(&major, &minor, &micro) != S_OK) return S_OK;
    *version = PackRuntimeVersion(major, minor, micro);
    *text = QString::asprintf("%u.%u.%u", major, minor, micro);
    return S_OK;
}

HRESULT ReadFileVersion(const media::RuntimeProbe& runtime, const char* element, std::uint64_t* version)
{
    if (!element || !version) return E_INVALIDARG;
    *version = 0;
    QString text;
    if (!runtime.PluginVersion(element, &text)) return E_FAIL;
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() < 2 || parts.size() > 4) return E_FAIL;
    std::uint16_t numbers[4] = {0, 0, 0, 0};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        bool ok = false;
        const uint number = parts[i].toUInt(&ok);
        if (!ok || number > 0xFFFF) return E_FAIL;
        numbers[i] = static_cast<std::uint16_t>(number);
    }
    *version = PackFileVersion(numbers[0], numbers[1], numbers[2], numbers[3]);
    return S_OK;
}

std::uint64_t PackFileVersion(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d)
{
    return std::uint64_t{a} << 48 | std::uint64_t{b} << 32 | std::uint64_t{c} << 16 | d;
}

int CompareFileVersion(std::uint64_t a, std::uint64_t b) { return a < b ? -1 : a > b ? 1 : 0; }

QStringList QueryDirectXVersionFiles()
{
    media::RuntimeProbe runtime;
    if (!runtime.Load()) return {};
    const std::uint64_t oldest = PackFileVersion(media::kRuntimeMajor, media::kRuntimeMinor, 0, 0);
    QStringList lacking;
    for (const media::RuntimeElement& element : media::RuntimeElements()) {
        std::uint64_t version = 0;
        // A plugin without a readable version counts as missing: nothing
        // tells that it does what the player asks of it.
        if (ReadFileVersion(runtime, element.name, &version) != S_OK || CompareFileVersion(version, oldest) < 0)
            lacking << QStringLiteral("%1 (%2)").arg(QLatin1String(element.name), QLatin1String(element.package));
    }
    return lacking;
}

QString RuntimeCheckMessage()
{
    DWORD version = 0;
    QString text;
    GetDirectXVersion(&version, &text);
    if (version == 0)
        return QStringLiteral("GStreamer がインストールされていません。\n本ソフトを使用するには、Version 1.22 以上の"
                              "GStreamer をインストールしてください。");
    if (version < PackRuntimeVersion(media::kRuntimeMajor, media::kRuntimeMinor, 0))
        return QStringLiteral("GStreamer %1 がインストールされています。\n本ソフトを使用するにはバージョン1.22以上を"
                              "インストールしてください。")
            .arg(text);
    const QStringList lacking = QueryDirectXVersionFiles();
    if (!lacking.isEmpty())
        return QStringLiteral("GStreamer %1 がインストールされています。\n次のプラグインがないため、一部のメディアを"
                              "再生できません。\n")
                   .arg(text) +
               lacking.join(QLatin1Char('\n'));
    return QStringLiteral("GStreamer %1 がインストールされています。\n本ソフトは正常に動作します。").arg(text);
}

}  // namespace zoset

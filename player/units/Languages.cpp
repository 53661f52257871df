#include "player/units/Languages.h"

#include <iterator>

namespace {

const TLanguageLcid kLcids[] = {
    {0, ""},       {1031, "de"}, {1033, "en"}, {1034, "es"}, {1036, "fr"}, {1040, "it"}, {1041, "ja"},
    {1042, "ko"},  {1043, "nl"}, {1049, "ru"}, {1053, "sv"}, {2052, "zh"}, {2070, "pt"},
};

struct TLanguageName {
    const char* Iso1;
    const char* Iso2;    // the bibliographic or terminology form streams carry
    const char* Iso2b;
    const char* Name;
};

const TLanguageName kNames[] = {
    {"ja", "jpn", "jpn", "日本語"},     {"en", "eng", "eng", "英語"},       {"de", "deu", "ger", "ドイツ語"},
    {"fr", "fra", "fre", "フランス語"}, {"es", "spa", "spa", "スペイン語"}, {"it", "ita", "ita", "イタリア語"},
    {"ko", "kor", "kor", "韓国語"},     {"zh", "zho", "chi", "中国語"},     {"nl", "nld", "dut", "オランダ語"},
    {"ru", "rus", "rus", "ロシア語"},   {"sv", "swe", "swe", "スウェーデン語"}, {"pt", "por", "por", "ポルトガル語"},
    {"ar", "ara", "ara", "アラビア語"}, {"hi", "hin", "hin", "ヒンディー語"}, {"th", "tha", "tha", "タイ語"},
    {"pl", "pol", "pol", "ポーランド語"}, {"da", "dan", "dan", "デンマーク語"}, {"fi", "fin", "fin", "フィンランド語"},
    {"no", "nor", "nor", "ノルウェー語"}, {"el", "ell", "gre", "ギリシャ語"}, {"tr", "tur", "tur", "トルコ語"},
    {"hu", "hun", "hun", "ハンガリー語"}, {"cs", "ces", "cze", "チェコ語"}, {"he", "heb", "heb", "ヘブライ語"},
};

}  // namespace

TLanguageLcid LanguageIndexToLcid(int index)
{
    if (index < 1 || index >= static_cast<int>(std::size(kLcids))) return kLcids[0];
    return kLcids[index];
}

QString JapaneseLanguageName(const QString& code)
{
    const QString c = code.trimmed().toLower();
    if (c.isEmpty()) return {};
    for (const TLanguageName& n : kNames) {
        if (c == QLatin1String(n.Iso1) || c == QLatin1String(n.Iso2) || c == QLatin1String(n.Iso2b))
            return QString::fromUtf8(n.Name);
    }
    return {};
}

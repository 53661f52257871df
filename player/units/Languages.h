// Languages of DVD defaults and audio streams: the player's language index
// to a Windows locale identifier with its ISO 639-1 code, and the Japanese
// name of a language code (two or three letters) for menu captions.
#pragma once

#include "platform/wintypes.h"

#include <QString>

struct TLanguageLcid {
    DWORD Lcid;          // 0: none, the disc's default stays
    const char* Iso639;  // two letters; empty with Lcid 0
};

// 1 German ... 12 Portuguese; any other index gives {0, ""}.
TLanguageLcid LanguageIndexToLcid(int index);

// "日本語" for "ja" or "jpn"; empty for a code the table does not know.
QString JapaneseLanguageName(const QString& code);

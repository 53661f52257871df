// The check button of the setup tool: whether the multimedia runtime the
// player runs on, GStreamer, is installed, recent enough, and holds the
// plugins the player creates. Asked of the runtime itself, which the tool
// loads only for the check (platform/media/runtimecheck.h).
//
// A packed runtime version is major << 16 | minor << 8 | micro (0: not
// installed); a packed plugin version is four 16-bit parts, the most
// significant first. Main thread.
#pragma once

#include "platform/wintypes.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace media {
class RuntimeProbe;
}

namespace zoset {

// The runtime's version as it reports it; E_FAIL when it cannot be loaded
// or initialised.
HRESULT QueryDirectXVersionDxDiag(unsigned* major, unsigned* minor, unsigned* micro);
// The packed version and its text "%d.%d.%d"; 0 and an empty text when the
// runtime is not installed. S_OK.
HRESULT GetDirectXVersion(DWORD* version, QString* text);
// The version of the plugin that holds an element; E_INVALIDARG without an
// element, E_FAIL when the runtime has no such element or its plugin no
// version.
HRESULT ReadFileVersion(const media::RuntimeProbe& runtime, const char* element, std::uint64_t* version);
std::uint64_t PackFileVersion(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d);
// -1, 0 or 1 as `a` is older than, the same as or newer than `b`.
int CompareFileVersion(std::uint64_t a, std::uint64_t b);
// The elements of the player that the runtime lacks or holds in a plugin
// older than the oldest runtime we work with, each as "name (package)", in
// the table's order. Empty as well when the runtime does not load.
QStringList QueryDirectXVersionFiles();

// The text the check button shows.
QString RuntimeCheckMessage();

}  // namespace zoset

// The installed filters the options dialog offers: the decoders of a stream
// kind from GStreamer's registry, and the audio output devices of the device
// monitor. Each entry carries the 16-byte class identifier under which the
// player stores and finds it again (FactoryClassId, graph.h). Main thread.
#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

typedef struct _GstElement GstElement;

namespace media {

struct CatalogueEntry {
    QString name;         // what the list shows and the settings store
    QString factory;      // the element factory
    QByteArray classId;   // 16 bytes
};

// The decoder kinds of the options dialog: 0 MPEG-1 video, 1 MPEG-1 audio,
// 2 MPEG-2 video, 3 MPEG-2 audio, 4 DVD video, 5 DVD audio, 6 MPEG-1
// capture, 7 MPEG-2 capture.
constexpr int kDecoderKinds = 8;
// The caps a kind's decoder takes, as text.
QString DecoderKindCaps(int kind);

// The decoders whose sink takes the kind's caps and whose source gives raw
// video (video kinds) or raw audio (audio kinds), in the registry's order.
// Ranked above "none" unless `anyRank`. A factory's name is its long name;
// when two share one, each reads "long name [factory]" so every text is
// unique. "Ligos MPEG Splitter" is never listed. Empty for an unknown kind.
std::vector<CatalogueEntry> MatchingDecoders(int kind, bool anyRank);

// The audio output devices (class "Audio/Sink") the device monitor finds now,
// named as it shows them; the identifier is that of their sink's factory.
// Blocks while the providers probe.
std::vector<CatalogueEntry> AudioOutputDevices();

// A new element of the factory, owned by the caller (floating reference
// sunk); null when the factory is unknown.
GstElement* MakeCatalogueElement(const QString& factory);

}  // namespace media

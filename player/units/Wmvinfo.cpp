#include "Wmvinfo.h"

#include "platform/media/graph.h"

#include <algorithm>

namespace {

// The attribute texts had room for 1023 bytes and a terminating zero.
QString Limited(const QString& text)
{
    constexpr qsizetype kMaxBytes = 1023;
    // Each UTF-16 unit gives at least one byte: more units than bytes are
    // never needed, so a huge attribute is not converted whole.
    qsizetype units = std::min(text.size(), kMaxBytes + 1);
    if (units < text.size() && text.at(units - 1).isHighSurrogate()) --units;
    QByteArray bytes = QStringView(text).left(units).toUtf8();
    if (bytes.size() <= kMaxBytes) return units == text.size() ? text : QString::fromUtf8(bytes);
    qsizetype cut = kMaxBytes;
    while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80) --cut;
    bytes.truncate(cut);
    return QString::fromUtf8(bytes);
}

}  // namespace

HRESULT CWmvInfo::ReadHeader(media::FilterGraph* graph)
{
    if (!graph) return E_FAIL;
    title = Limited(graph->Tag("title"));
    author = Limited(graph->Tag("artist"));
    album = Limited(graph->Tag("album"));
    seekable = graph->IsSeekable() ? 1 : 0;
    hasVideo = graph->HasVideo() ? 1 : 0;
    return S_OK;
}

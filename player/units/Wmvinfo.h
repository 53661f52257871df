// Attributes of an opened Windows Media file: title, author and album, and
// whether the file can be sought and has a picture.
#pragma once

#include "platform/wintypes.h"

#include <QString>

namespace media {
class FilterGraph;
}

class CWmvInfo {
public:
    CWmvInfo() = default;
    // Reads the attributes of the item the graph has rendered. E_FAIL
    // without a graph; otherwise S_OK (a missing attribute stays empty or 0).
    HRESULT ReadHeader(media::FilterGraph* graph);

    // Each text holds at most 1023 bytes of UTF-8, cut at a character boundary.
    QString title;
    QString author;
    QString album;
    int seekable = 0;
    int hasVideo = 0;
};

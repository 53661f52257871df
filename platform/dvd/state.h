// The navigator's saved place on a disc: a record of ours, written to and read
// from a byte stream. Reading checks every field: the record's kind and
// version, the disc it was made on, and title, chapter, time, streams and
// angle against that disc.
#pragma once

#include "platform/dvd/discinfo.h"
#include "platform/dvd/navigator.h"

#include <QByteArray>

#include <cstdint>

namespace dvd {

struct StateRecord {
    std::uint64_t discId = 0;
    ULONG title = 0;
    ULONG chapter = 0;
    HmsfTime time;
    LONG audio = -1;        // -1: the disc's own choice
    LONG subpicture = -1;
    bool subpictureShown = false;
    ULONG angle = 1;
};

QByteArray WriteStateRecord(const StateRecord& record);
// S_OK; VFW_E_DVD_STATE_CORRUPT for data that is not such a record or whose
// fields do not fit the disc; VFW_E_DVD_STATE_WRONG_VERSION; and
// VFW_E_DVD_STATE_WRONG_DISC for a record of another disc.
HRESULT ReadStateRecord(const QByteArray& bytes, const DiscInfo& disc, StateRecord* record);
// The disc a record was made on, read without the disc at hand; false for
// bytes that are not a record of this kind and version.
bool StateRecordDiscId(const QByteArray& bytes, std::uint64_t* discId);

}  // namespace dvd

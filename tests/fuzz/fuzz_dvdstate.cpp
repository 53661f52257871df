// The DVD navigator's saved-state record, read against a disc of two titles
// (3 and 2 chapters, two audio streams and one subpicture stream in the
// first). A record that reads back is written again and must read the same.
#include "platform/dvd/state.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096) return 0;
    static const dvd::DiscInfo disc = [] {
        dvd::TitleInfo one;
        one.chapters = 3;
        one.length = {0, 1, 5, 0};
        one.audio.resize(2);
        one.subpictures.resize(1);
        dvd::TitleInfo two;
        two.chapters = 2;
        two.length = {0, 0, 10, 0};
        two.audio.resize(1);
        return dvd::DiscInfo::FromTitles({one, two}, 0x0123456789ABCDEFull);
    }();
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    dvd::StateRecord record;
    if (dvd::ReadStateRecord(bytes, disc, &record) != S_OK) return 0;
    dvd::StateRecord again;
    if (dvd::ReadStateRecord(dvd::WriteStateRecord(record), disc, &again) != S_OK || again.title != record.title ||
        again.chapter != record.chapter || !(again.time == record.time) || again.audio != record.audio)
        std::abort();
    return 0;
}

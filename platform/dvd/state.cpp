#include "platform/dvd/state.h"

#include <QDataStream>
#include <QIODevice>

namespace dvd {

namespace {

// Fixed identifier of the record's kind, then its version.
constexpr char kClassId[16] = {'\x5a', '\x6f', '\x44', '\x76', '\x64', '\x53', '\x74', '\x61',
                               '\x74', '\x65', '\x7e', '\x31', '\x9b', '\x2e', '\x04', '\xc7'};
constexpr quint32 kVersion = 1;
constexpr int kRecordSize = 16 + 4 + 8 + 4 + 4 + 4 + 4 + 4 + 1 + 4;

}  // namespace

QByteArray WriteStateRecord(const StateRecord& r)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData(kClassId, sizeof kClassId);
    out << kVersion << quint64(r.discId) << quint32(r.title) << quint32(r.chapter);
    out << quint8(r.time.hours) << quint8(r.time.minutes) << quint8(r.time.seconds) << quint8(r.time.frames);
    out << qint32(r.audio) << qint32(r.subpicture) << quint8(r.subpictureShown ? 1 : 0) << quint32(r.angle);
    return bytes;
}

HRESULT ReadStateRecord(const QByteArray& bytes, const DiscInfo& disc, StateRecord* record)
{
    if (bytes.size() < 20 || bytes.left(16) != QByteArray(kClassId, sizeof kClassId))
        return VFW_E_DVD_STATE_CORRUPT;
    QDataStream in(bytes);
    in.setByteOrder(QDataStream::LittleEndian);
    in.skipRawData(16);
    quint32 version = 0;
    in >> version;
    if (version != kVersion) return VFW_E_DVD_STATE_WRONG_VERSION;
    if (bytes.size() != kRecordSize) return VFW_E_DVD_STATE_CORRUPT;
    StateRecord r;
    quint64 discId;
    quint32 title, chapter, angle;
    quint8 h, m, s, f, shown;
    qint32 audio, subpicture;
    in >> discId >> title >> chapter >> h >> m >> s >> f >> audio >> subpicture >> shown >> angle;
    if (in.status() != QDataStream::Ok) return VFW_E_DVD_STATE_CORRUPT;
    if (discId != disc.DiscId()) return VFW_E_DVD_STATE_WRONG_DISC;
    const TitleInfo* info = disc.Title(title);
    if (!info || chapter < 1 || int(chapter) > info->chapters) return VFW_E_DVD_STATE_CORRUPT;
    if (m > 59 || s > 59 || f > 29 || shown > 1 || angle < 1 || angle > 9) return VFW_E_DVD_STATE_CORRUPT;
    const HmsfTime time{h, m, s, f};
    if (info->length.TotalSeconds() > 0 && time.TotalSeconds() > info->length.TotalSeconds())
        return VFW_E_DVD_STATE_CORRUPT;
    if (audio < -1 || audio >= LONG(info->audio.size()) || subpicture < -1 ||
        subpicture >= LONG(info->subpictures.size()))
        return VFW_E_DVD_STATE_CORRUPT;
    r.discId = discId;
    r.title = title;
    r.chapter = chapter;
    r.time = time;
    r.audio = audio;
    r.subpicture = subpicture;
    r.subpictureShown = shown == 1;
    r.angle = angle;
    *record = r;
    return S_OK;
}

bool StateRecordDiscId(const QByteArray& bytes, std::uint64_t* discId)
{
    if (bytes.size() != kRecordSize || bytes.left(16) != QByteArray(kClassId, sizeof kClassId)) return false;
    QDataStream in(bytes);
    in.setByteOrder(QDataStream::LittleEndian);
    in.skipRawData(16);
    quint32 version = 0;
    quint64 id = 0;
    in >> version >> id;
    if (in.status() != QDataStream::Ok || version != kVersion) return false;
    *discId = id;
    return true;
}

}  // namespace dvd

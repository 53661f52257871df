// Builders of ID3 tags and MPEG audio frames for the tests and benchmarks.
#pragma once

#include <QByteArray>

namespace mp3test {

inline QByteArray SyncSafe(quint32 v)
{
    QByteArray b(4, 0);
    for (int i = 3; i >= 0; --i) {
        b[i] = char(v & 0x7F);
        v >>= 7;
    }
    return b;
}

inline QByteArray BigEndian(quint32 v, int n)
{
    QByteArray b(n, 0);
    for (int i = n - 1; i >= 0; --i) {
        b[i] = char(v & 0xFF);
        v >>= 8;
    }
    return b;
}

// Text frame content: encoding byte then the text bytes.
inline QByteArray Text(char encoding, const QByteArray& bytes) { return QByteArray(1, encoding) + bytes; }

inline QByteArray Frame22(const char* id, const QByteArray& content)
{
    return QByteArray(id, 3) + BigEndian(quint32(content.size()), 3) + content;
}
inline QByteArray Frame23(const char* id, const QByteArray& content, char flags2 = 0)
{
    return QByteArray(id, 4) + BigEndian(quint32(content.size()), 4) + QByteArray(1, 0) + QByteArray(1, flags2) + content;
}
inline QByteArray Frame24(const char* id, const QByteArray& content, char flags2 = 0)
{
    return QByteArray(id, 4) + SyncSafe(quint32(content.size())) + QByteArray(1, 0) + QByteArray(1, flags2) + content;
}

// Tag header + body; the size is the body's unless given.
inline QByteArray Tag(int major, const QByteArray& body, unsigned char flags = 0, qint64 size = -1)
{
    QByteArray h("ID3");
    h += char(major);
    h += char(0);
    h += char(flags);
    h += SyncSafe(quint32(size < 0 ? body.size() : size));
    return h + body;
}

// Inserts 0x00 after every 0xFF that is followed by 0x00 or a byte >= 0xE0,
// and after a final 0xFF.
inline QByteArray Unsynchronise(const QByteArray& in)
{
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        out += in[i];
        if (uchar(in[i]) == 0xFF && (i + 1 == in.size() || uchar(in[i + 1]) >= 0xE0 || in[i + 1] == 0)) out += char(0);
    }
    return out;
}

inline QByteArray Id3v1(const QByteArray& title, const QByteArray& artist, const QByteArray& album, char pad = 0)
{
    QByteArray b("TAG");
    auto field = [&](const QByteArray& f, int n) { b += f.left(n) + QByteArray(n - qMin<int>(n, int(f.size())), pad); };
    field(title, 30);
    field(artist, 30);
    field(album, 30);
    b += QByteArray(128 - b.size(), 0);
    return b;
}

// n frames of constant bitrate with the given header (zero payload).
inline QByteArray Frames(int n, const QByteArray& header, int length)
{
    QByteArray frame = header + QByteArray(length - header.size(), 0);
    QByteArray out;
    out.reserve(qsizetype(n) * length);
    for (int i = 0; i < n; ++i) out += frame;
    return out;
}

// MPEG 1 Layer III, 128 kbit/s, 44100 Hz, no padding: 417 bytes a frame.
inline QByteArray Mpeg1Layer3Frames(int n) { return Frames(n, QByteArray("\xFF\xFB\x90\x00", 4), 417); }

}  // namespace mp3test

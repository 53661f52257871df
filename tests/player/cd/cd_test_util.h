// Shared pieces of the CD tests: the CDBs the drive must receive and the
// canned replies of the fixture script.
#pragma once

#include "platform/cdrom/canned.h"
#include "support/test_util.h"

#include <QFile>

#include <memory>

namespace cdtest {

using Bytes = cdrom::CannedDrive::Bytes;

inline const Bytes kReadTocCdb = {0x43, 0x02, 0x00, 0, 0, 0, 0, 0x03, 0x24, 0};
inline const Bytes kReadCdTextCdb = {0x43, 0x02, 0x05, 0, 0, 0, 0, 0x13, 0x88, 0};
inline const Bytes kDiscStructureCdb = {0xAD, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
inline Bytes SetSpeedCdb(int speed)
{
    return {0xBB, 0, static_cast<std::uint8_t>(speed >> 8), static_cast<std::uint8_t>(speed), 0xFF, 0xFF,
            0, 0, 0, 0, 0, 0};
}

inline Bytes FixtureBytes(const QString& name)
{
    const QByteArray data = testutil::ReadFile(testutil::Fixture(QStringLiteral("cd/") + name));
    return Bytes(data.begin(), data.end());
}

// A TOC reply of tracks starting at the given frames (lead-in included),
// all audio, and the lead-out.
inline Bytes MakeToc(const std::vector<int>& starts, int leadOut)
{
    Bytes reply = {0, 0, 1, static_cast<std::uint8_t>(starts.size())};
    auto add = [&](int track, int frames) {
        const Bytes d = {0, 0x10, static_cast<std::uint8_t>(track), 0, 0, static_cast<std::uint8_t>(frames / 4500),
                         static_cast<std::uint8_t>(frames / 75 % 60), static_cast<std::uint8_t>(frames % 75)};
        reply.insert(reply.end(), d.begin(), d.end());
    };
    for (size_t i = 0; i < starts.size(); ++i) add(static_cast<int>(i + 1), starts[i]);
    add(0xAA, leadOut);
    reply[0] = static_cast<std::uint8_t>((reply.size() - 2) >> 8);
    reply[1] = static_cast<std::uint8_t>(reply.size() - 2);
    return reply;
}

// A canned drive that answers for every drive name while it lives.
class CannedDriveScope {
public:
    CannedDriveScope() : drive(std::make_shared<cdrom::CannedDrive>()) { drive->InstallAsEveryDrive(); }
    ~CannedDriveScope() { cdrom::SetTransportFactory({}); }
    std::shared_ptr<cdrom::CannedDrive> drive;
};

}  // namespace cdtest

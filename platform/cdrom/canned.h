// A drive of canned replies, for tests: the reply to each command is chosen
// by its CDB, faults can be injected, and every CDB sent is recorded. The
// drive outlives the transports opened on it, so a test reads what was sent
// after the code under test has closed the drive again.
#pragma once

#include "platform/cdrom/cdrom.h"

#include <map>
#include <memory>
#include <vector>

namespace cdrom {

class CannedDrive : public std::enable_shared_from_this<CannedDrive> {
public:
    using Bytes = std::vector<std::uint8_t>;
    enum class Fault { None, Refused, ShortReply, TimedOut };

    // The data returned for a CDB (matched on all its bytes); a command with
    // no reply set is refused. An empty reply completes without data.
    void SetReply(const Bytes& cdb, const Bytes& reply) { replies_[cdb] = reply; }
    // The next commands fail this way (Fault::None clears it). A short reply
    // completes with only the first `shortLength` bytes of its reply.
    void SetFault(Fault fault, int shortLength = 0)
    {
        fault_ = fault;
        shortLength_ = shortLength;
    }
    // Opening fails while set, as for a drive that is not there.
    void SetUnavailable(bool unavailable) { unavailable_ = unavailable; }

    struct Sent {
        Bytes cdb;
        bool dataIn = false;
        int length = 0;
        Access access = Access::Read;
    };
    const std::vector<Sent>& SentCommands() const { return sent_; }
    void ClearSent() { sent_.clear(); }

    // A transport on this drive, as OpenDrive would give it.
    std::unique_ptr<Transport> Open(Access access);

    // Makes OpenDrive answer every name with this drive (until reset with
    // SetTransportFactory({})).
    void InstallAsEveryDrive();

private:
    friend class CannedTransport;
    bool Run(const std::uint8_t* cdb, int cdbLength, bool dataIn, std::uint8_t* buffer, int length,
             int* transferred, Access access);

    std::map<Bytes, Bytes> replies_;
    std::vector<Sent> sent_;
    Fault fault_ = Fault::None;
    int shortLength_ = 0;
    bool unavailable_ = false;
};

}  // namespace cdrom

// Canned replies standing for a drive in tests.
#include "platform/cdrom/canned.h"

#include <algorithm>
#include <cstring>

namespace cdrom {

class CannedTransport final : public Transport {
public:
    CannedTransport(std::shared_ptr<CannedDrive> drive, Access access) : drive_(std::move(drive)), access_(access) {}
    bool Execute(const std::uint8_t* cdb, int cdbLength, bool dataIn, std::uint8_t* buffer, int length,
                 int* transferred) override
    {
        return drive_->Run(cdb, cdbLength, dataIn, buffer, length, transferred, access_);
    }

private:
    std::shared_ptr<CannedDrive> drive_;
    Access access_;
};

std::unique_ptr<Transport> CannedDrive::Open(Access access)
{
    if (unavailable_) return nullptr;
    return std::make_unique<CannedTransport>(shared_from_this(), access);
}

void CannedDrive::InstallAsEveryDrive()
{
    std::shared_ptr<CannedDrive> self = shared_from_this();
    SetTransportFactory([self](const QString&, Access access) { return self->Open(access); });
}

bool CannedDrive::Run(const std::uint8_t* cdb, int cdbLength, bool dataIn, std::uint8_t* buffer, int length,
                      int* transferred, Access access)
{
    *transferred = 0;
    const Bytes key(cdb, cdb + std::max(cdbLength, 0));
    sent_.push_back({key, dataIn, length, access});
    if (length > 0 && buffer) std::memset(buffer, 0, static_cast<size_t>(length));
    if (fault_ == Fault::Refused || fault_ == Fault::TimedOut) return false;
    const auto it = replies_.find(key);
    if (it == replies_.end()) return false;
    int n = dataIn && buffer ? std::min(length, static_cast<int>(it->second.size())) : 0;
    if (fault_ == Fault::ShortReply) n = std::min(n, shortLength_);
    if (n > 0) std::memcpy(buffer, it->second.data(), static_cast<size_t>(n));
    *transferred = n;
    return true;
}

}  // namespace cdrom

#include "CddbClient.h"

#include "platform/registry/registry.h"
#include "common/Reghelp.h"

#include "common/scramble.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace {

// A socket closed when its holder goes, so every command closes its own.
class Socket {
public:
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket()
    {
        if (fd_ >= 0) close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

bool ReadDword(HKEY key, const char* name, std::uint32_t* out)
{
    DWORD type = 0, value = 0, size = sizeof value;
    if (RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return false;
    *out = value;
    return true;
}

// A REG_SZ up to its first zero; false when missing, of another type or
// unreasonably long for a host, path or user name.
bool ReadText(HKEY key, const char* name, std::string* out)
{
    DWORD type = 0, size = 0;
    if (RegQueryValueEx(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ ||
        size > 4096)
        return false;
    std::string text(size, '\0');
    if (size > 0 &&
        RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS)
        return false;
    text.resize(std::strlen(text.c_str()));
    *out = text;
    return true;
}

// The stored proxy password: 1 to 100 bytes, read into a zeroed buffer one
// byte longer, so a value without its terminating zero still ends.
std::string ReadPassword(HKEY key)
{
    DWORD type = 0, size = 0;
    if (RegQueryValueEx(key, "ProxyPassword", nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_BINARY || size < 1 || size > 100)
        return {};
    char buffer[101] = {};
    if (RegQueryValueEx(key, "ProxyPassword", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
        ERROR_SUCCESS)
        return {};
    UnscramblePassword(buffer);
    return buffer;
}

bool Resolve(const std::string& host, in_addr* address)
{
    if (inet_pton(AF_INET, host.c_str(), address) == 1) return true;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (host.empty() || getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
    *address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return true;
}

int ConnectError(int err)
{
    switch (err) {
    case ETIMEDOUT: return kWsaEtimedout;
    case ENETUNREACH: return kWsaEnetunreach;
    case EHOSTUNREACH: return kWsaEhostunreach;
    default: return kWsaEconnrefused;
    }
}

// Connects while `wait` gives time (its result: the milliseconds of the
// next poll, 0 when no more): a server that does not answer must not hold the
// look-up for the system's minutes-long connect time-out.
template <typename Wait>
bool ConnectWithin(int fd, const sockaddr_in& to, Wait wait)
{
    const int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    int err = 0;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        err = errno;
        while (err == EINPROGRESS) {
            const int ms = wait();
            if (ms == 0) {
                err = ETIMEDOUT;
                break;
            }
            pollfd p{fd, POLLOUT, 0};
            const int r = poll(&p, 1, ms);
            if (r == 0 || (r < 0 && errno == EINTR)) continue;
            socklen_t len = sizeof err;
            if (r < 0 || getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
        }
    }
    fcntl(fd, F_SETFL, flags);
    if (err != 0) SetCddbLastError(ConnectError(err));
    return err == 0;
}

bool SendAll(int fd, const std::string& request)
{
    std::size_t sent = 0;
    while (sent < request.size()) {
        const ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string HelloPart(const char* name)
{
    if (!name || !*name) return "Unknown";
    std::string part;
    for (const char* p = name; *p; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c > 0x7F) return "Unknown";
        const bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        part.push_back(alnum ? static_cast<char>(c) : '_');
    }
    return part;
}

std::string Base64(const std::string& bytes)
{
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const std::uint32_t v = static_cast<unsigned char>(bytes[i]) << 16 |
                                static_cast<unsigned char>(bytes[i + 1]) << 8 | static_cast<unsigned char>(bytes[i + 2]);
        out += {kAlphabet[v >> 18], kAlphabet[(v >> 12) & 63], kAlphabet[(v >> 6) & 63], kAlphabet[v & 63]};
    }
    if (i + 1 == bytes.size()) {
        const std::uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
        out += {kAlphabet[v >> 18], kAlphabet[(v >> 12) & 63], '=', '='};
    } else if (i + 2 == bytes.size()) {
        const std::uint32_t v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += {kAlphabet[v >> 18], kAlphabet[(v >> 12) & 63], kAlphabet[(v >> 6) & 63], '='};
    }
    return out;
}

bool IsPlainCategory(const std::string& category)
{
    if (category.empty()) return false;
    for (char c : category)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return false;
    return true;
}

CCddbClient::CCddbClient()
{
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, kCddbKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    ReadText(key, "CDDBPath", &path);
    ReadText(key, "CDDBServer", &server);
    ReadDword(key, "ServerPort", &port);
    ReadDword(key, "TimeOut", &timeout);
    ReadDword(key, "ProtocolLevel", &protocolLevel);
    std::uint32_t useProxy = 0;
    if (ReadDword(key, "UseProxy", &useProxy) && useProxy != 0) {
        ReadText(key, "ProxyHost", &proxyHost);
        ReadDword(key, "ProxyPort", &proxyPort);
        std::uint32_t certification = 0;
        if (ReadDword(key, "ProxyCertification", &certification) && certification == 1) {
            ReadText(key, "ProxyUser", &proxyUser);
            proxyPassword = ReadPassword(key);
        }
    }
    RegCloseKey(key);
}

std::string CCddbClient::UserPart()
{
    const passwd* pw = getpwuid(geteuid());
    return HelloPart(pw ? pw->pw_name : nullptr);
}

std::string CCddbClient::HostPart()
{
    char name[261] = {};
    if (gethostname(name, sizeof name - 1) != 0) return "Unknown";
    return HelloPart(name);
}

std::string CCddbClient::HelloText()
{
    return "hello=" + UserPart() + "+" + HostPart() + "+" + programName + "+" + version +
           "&proto=" + std::to_string(protocolLevel);
}

CddbServer CCddbClient::ConfiguredServer() const
{
    CddbServer configured;
    configured.host = server;
    configured.port = static_cast<int>(port);
    configured.path = path;
    return configured;
}

std::string CCddbClient::RequestText(const CddbServer& to, const std::string& command)
{
    if (proxyHost.empty()) return "GET " + to.path + "?cmd=" + command + "&" + HelloText() + " HTTP/1.0\r\n\r\n";
    // Through a proxy the address names the server; a port other than 80
    // has to be in it, or the proxy would ask port 80.
    const std::string address = to.port == 80 ? to.host : to.host + ":" + std::to_string(to.port);
    std::string header = "Host: " + to.host;
    if (!proxyUser.empty())
        header = "Proxy-Authorization: Basic " + Base64(proxyUser + ":" + proxyPassword) + "\r\n" + header;
    return "GET http://" + address + to.path + "?cmd=" + command + "&" + HelloText() + " HTTP/1.0\r\n" + header +
           "\r\n\r\n";
}

bool CCddbClient::ReceiveReply(int fd, bool multiLine, std::string* reply)
{
    std::string received;
    received.reserve(4096);
    char chunk[4096];
    for (;;) {
        const int wait = NextWait();
        if (wait == 0) {
            SetCddbLastError(kWsaEtimedout);
            lastReply = received;
            return false;
        }
        pollfd p{fd, POLLIN, 0};
        const int r = poll(&p, 1, wait);
        if (r == 0 || (r < 0 && errno == EINTR)) continue;
        if (r < 0) {
            lastReply = received;
            return false;
        }
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            lastReply = received;
            return false;
        }
        received.append(chunk, static_cast<std::size_t>(n));
        if (received.size() > kMaxReplySize) {
            SetCddbLastError(kWsaEprotonosupport);
            lastReply.clear();
            return false;
        }
        std::size_t keep = 0;
        const ReplyScan scan = ScanReply(received, multiLine, n == 0, &keep);
        if (scan == ReplyScan::kMore) continue;
        if (scan == ReplyScan::kDone) received.resize(keep);
        lastReply = received;
        if (scan == ReplyScan::kBad) return false;
        *reply = std::move(received);
        return true;
    }
}

int CCddbClient::NextWait() const
{
    if (Cancelled()) return 0;
    constexpr int kSlice = 100;
    if (timeout == 0) return kSlice;
    // Rounded up: a wait cut to whole milliseconds must not end early.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline_ - std::chrono::steady_clock::now()).count();
    if (left <= 0) return 0;
    return static_cast<int>(std::min<long long>(left, kSlice));
}

bool CCddbClient::Transact(const CddbServer& to, const std::string& command, bool multiLine, int connectFailStatus,
                           bool protocolErrorOnFailure, std::string* body)
{
    status = -1;
    deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
    const bool viaProxy = !proxyHost.empty();
    const std::string& host = viaProxy ? proxyHost : to.host;
    const std::uint32_t hostPort = viaProxy ? proxyPort : static_cast<std::uint32_t>(to.port);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    if (!Resolve(host, &address.sin_addr)) {
        SetCddbLastError(kWsaEinval);
        status = connectFailStatus;
        return false;
    }
    Socket socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (socket.get() < 0) return false;
    if (hostPort > 65535) {
        SetCddbLastError(kWsaEconnrefused);
        status = connectFailStatus;
        return false;
    }
    address.sin_port = htons(static_cast<std::uint16_t>(hostPort));
    if (!ConnectWithin(socket.get(), address, [this] { return NextWait(); })) {
        status = connectFailStatus;
        return false;
    }
    std::string reply;
    if (!SendAll(socket.get(), RequestText(to, command)) || !ReceiveReply(socket.get(), multiLine, &reply)) {
        if (protocolErrorOnFailure && CddbLastError() != kWsaEtimedout) SetCddbLastError(kWsaEprotonosupport);
        return false;
    }
    *body = ReplyBody(reply);
    status = ReplyCode(*body);
    return true;
}

bool CCddbClient::Query(const CddbServer& to, std::uint32_t /*discId*/, const std::string& query,
                        std::vector<CddbMatch>* matches)
{
    matches->clear();
    std::string body;
    if (!Transact(to, query, true, 1, true, &body)) return false;
    return ParseQueryReply(body, matches, &status);
}

bool CCddbClient::Read(const CddbServer& to, const std::string& category, std::uint32_t discId,
                       CddbReadResult* result)
{
    // A category is a word; anything else could add parameters or header
    // lines to the request.
    if (!IsPlainCategory(category)) {
        SetCddbLastError(kWsaEprotonosupport);
        return false;
    }
    char id[9];
    std::snprintf(id, sizeof id, "%08x", discId);
    std::string body;
    if (!Transact(to, "cddb+read+" + category + "+" + id, false, -1, true, &body)) return false;
    CddbReadResult parsed;
    if (!ParseReadReply(body, &parsed)) return false;
    parsed.discId = discId;
    *result = std::move(parsed);
    return true;
}

bool CCddbClient::GetSites(const CddbServer& to, std::vector<CddbServer>* servers)
{
    servers->clear();
    std::string body;
    return Transact(to, "sites", true, -1, false, &body) && ParseSitesReply(body, servers);
}

bool CCddbClient::GetMotd(const CddbServer& to, std::string* text)
{
    text->clear();
    std::string body;
    return Transact(to, "motd", false, -1, false, &body) && ParseMotdReply(body, text);
}

bool CCddbClient::Stat(const CddbServer& to, CddbStat* stat)
{
    std::string body;
    return Transact(to, "stat", false, -1, true, &body) && ParseStatReply(body, stat);
}

// CCddbClient: the CD database's protocol over HTTP/1.0, one TCP connection
// per command, directly or through an HTTP proxy with Basic authentication.
// Blocking, on the caller's thread; each command (connect, request and the
// whole reply) ends within the configured time-out, however slowly a server
// sends, and within a tenth of a second of a cancel. Failures leave `status`
// and the thread's last error (CddbLastError) for the caller; nothing is
// shown here.
#pragma once

#include "CddbReply.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// The client's server when the settings name none; the settings dialog also
// uses it when no server list names one, and asks it for the site list.
inline constexpr char kDefaultCddbHost[] = "gnudb.gnudb.org";
inline constexpr char kDefaultCddbPath[] = "/~cddb/cddb.cgi";
inline constexpr int kDefaultCddbPort = 80;

class CCddbClient {
public:
    // Reads its settings from the CDDB key; a missing key or value leaves
    // the default.
    CCddbClient();
    virtual ~CCddbClient() = default;

    // "hello=user+host+program+version&proto=level".
    virtual std::string HelloText();
    // The effective user's name and the host name, as the hello text carries them.
    virtual std::string UserPart();
    virtual std::string HostPart();
    // Receives one reply on fd into *reply (multi-line: a reply code outside
    // 210-219 ends it without a terminator), by the command's deadline.
    virtual bool ReceiveReply(int fd, bool multiLine, std::string* reply);

    bool Query(const CddbServer& server, std::uint32_t discId, const std::string& query,
               std::vector<CddbMatch>* matches);
    // Succeeds only with a complete record; its disc id becomes discId.
    bool Read(const CddbServer& server, const std::string& category, std::uint32_t discId,
              CddbReadResult* result);
    bool GetSites(const CddbServer& server, std::vector<CddbServer>* servers);
    bool GetMotd(const CddbServer& server, std::string* text);
    bool Stat(const CddbServer& server, CddbStat* stat);

    // The server of the settings (server, port, path).
    CddbServer ConfiguredServer() const;
    // The request text of a command (the value of "cmd=").
    std::string RequestText(const CddbServer& server, const std::string& command);

    std::string path = kDefaultCddbPath;
    std::string server = kDefaultCddbHost;
    std::uint32_t port = kDefaultCddbPort;
    int status = -1;   // 1 = connection failed, else the last reply code; -1 none
    std::string lastReply;
    std::uint32_t timeout = 5000;   // milliseconds for each command as a whole; 0 without a limit
    // Set from another thread, ends the command running (no connection made,
    // or the reply not received); null for none.
    const std::atomic<bool>* cancel = nullptr;
    std::string programName = "Zoravel";
    std::string version = "2.04";
    std::uint32_t protocolLevel = 5;
    std::string proxyHost;
    std::uint32_t proxyPort = 0;
    std::string proxyUser;
    std::string proxyPassword;

private:
    // The milliseconds one wait of the running command may take: what is
    // left of its time-out, at most a tenth of a second so that a cancel is
    // seen; 0 when the time is up or the command cancelled.
    int NextWait() const;
    bool Cancelled() const { return cancel && cancel->load(); }

    std::chrono::steady_clock::time_point deadline_;

    // Sends the request of one command and receives its reply body (UTF-8).
    // connectFailStatus is the status a connection that cannot be made leaves.
    bool Transact(const CddbServer& server, const std::string& command, bool multiLine, int connectFailStatus,
                  bool protocolErrorOnFailure, std::string* body);
};

// A part of the hello text: "Unknown" for a missing name or one holding a
// byte above 0x7F, else the name with every character other than an ASCII
// letter or digit turned into "_".
std::string HelloPart(const char* name);
// Standard base64 with "=" padding, one line.
std::string Base64(const std::string& bytes);
// Whether a category from a reply may go into a request: one word of ASCII
// letters and digits.
bool IsPlainCategory(const std::string& category);

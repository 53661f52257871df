// Replies of the CD database's HTTP protocol: when a reply is complete, its
// text, and the parsers of the query, read, sites, motd and stat replies.
// Everything here reads network input and is bounded by kMaxReplySize.
// No sockets; the client (CddbClient.h) feeds the bytes it received.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The thread's last error, with the socket layer's numbers the callers test.
inline constexpr int kWsaEinval = 10022;            // server name not resolved
inline constexpr int kWsaEprotonosupport = 10043;   // reply not in the expected form
inline constexpr int kWsaEnetunreach = 10051;
inline constexpr int kWsaEtimedout = 10060;         // no data within the time-out
inline constexpr int kWsaEconnrefused = 10061;
inline constexpr int kWsaEhostunreach = 10065;
int CddbLastError();
void SetCddbLastError(int error);

// A reply that grows beyond this fails (last error 10043).
inline constexpr std::size_t kMaxReplySize = 1024 * 1024;
// Track numbers taken from a read reply (TTITLEn, EXTTn): 0..98.
inline constexpr int kMaxTracks = 99;

struct CddbServer {
    std::string host;
    int port = 80;
    std::string path;
    // Sites replies only.
    bool north = false;
    int latitude = 0;    // minutes
    bool east = false;
    int longitude = 0;   // minutes
    std::string description;
};

struct CddbMatch {
    std::string category;
    std::uint32_t discId = 0;
    std::string artist;
    std::string album;
};

// The xmcd record of a read reply; texts are UTF-8.
struct CddbReadResult {
    std::vector<std::uint32_t> frameOffsets;
    int discLength = 0;   // seconds
    int revision = 0;
    std::string submittedVia[3];
    std::uint32_t discId = 0;
    std::string artist;
    std::string album;
    std::vector<std::string> trackTitles;   // index 0 = track 1
    std::string extendedDisc;
    std::vector<std::string> extendedTracks;
    std::vector<std::uint32_t> playOrder;
    int year = 0;
    std::string genre;
};

struct CddbStat {
    int currentProto = 0;
    int maxProto = 0;
    bool gets = false;
    bool updates = false;
    bool posting = false;
    bool quotes = false;
    int currentUsers = 0;
    int maxUsers = 0;
    bool stripExt = false;
    int databaseEntries = 0;
    std::vector<std::pair<std::string, int>> categories;
    std::vector<std::pair<std::string, int>> pending;
};

// Where the reception of a reply stands.
enum class ReplyScan {
    kMore,   // wait for more bytes
    kDone,   // the reply is whole: its first *keep bytes are the reply
    kBad,    // the reply can never become valid (no header end, no three-digit code)
};
// Judges the bytes received so far. The reply code is judged only once the
// HTTP header has ended and the first line of the body has arrived (or the
// server closed). A reply ends at the terminator line "."; in multi-line mode
// a code outside 210-219 ends it at once (one-line replies carry no
// terminator), and in either mode when the server has closed.
ReplyScan ScanReply(std::string_view raw, bool multiLine, bool closed, std::size_t* keep);

// The body of a whole reply (the text after the HTTP header), as UTF-8: kept
// as it is when it is valid UTF-8, read as CP932 otherwise; zero bytes dropped.
std::string ReplyBody(std::string_view raw);
// The three-digit code that starts a body; -1 when it does not start with one.
int ReplyCode(std::string_view body);

// Query reply: the matches; *status becomes the reply code (-1 without one).
bool ParseQueryReply(const std::string& body, std::vector<CddbMatch>* matches, int* status);
// Read reply: true only for a 210-219 reply holding a complete xmcd record.
bool ParseReadReply(const std::string& body, CddbReadResult* result);
// Sites reply: the HTTP servers listed; true for a 210-219 reply.
bool ParseSitesReply(const std::string& body, std::vector<CddbServer>* servers);
// Motd reply: the text after the first line.
bool ParseMotdReply(const std::string& body, std::string* text);
bool ParseStatReply(const std::string& body, CddbStat* stat);

// xmcd escapes decoded in one pass: "\n", "\t" and "\\".
std::string DecodeXmcdEscapes(std::string_view value);
// Splits "artist / album" at the first " / " that is not at the start.
void SplitDiscTitle(const std::string& title, std::string* artist, std::string* album);

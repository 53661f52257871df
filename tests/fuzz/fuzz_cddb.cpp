// The CD-database reply handling over bytes as a server sends them: the
// reception judgement at every prefix length the first byte picks, then the
// body's decoding and every reply parser over the whole reply.
#include "zodlg/CddbReply.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > kMaxReplySize) return 0;
    const std::string raw(reinterpret_cast<const char*>(data) + 1, size - 1);
    // Reception as it would go with the reply arriving in two pieces.
    const std::size_t cut = raw.empty() ? 0 : data[0] % (raw.size() + 1);
    std::size_t keep = 0;
    for (bool multiLine : {false, true}) {
        ScanReply(std::string_view(raw).substr(0, cut), multiLine, false, &keep);
        if (ScanReply(raw, multiLine, true, &keep) == ReplyScan::kDone && keep > raw.size()) __builtin_trap();
    }
    const std::string body = ReplyBody(raw);
    std::vector<CddbMatch> matches;
    int status = 0;
    ParseQueryReply(body, &matches, &status);
    CddbReadResult record;
    if (ParseReadReply(body, &record) && record.trackTitles.size() > static_cast<std::size_t>(kMaxTracks))
        __builtin_trap();
    std::vector<CddbServer> servers;
    ParseSitesReply(body, &servers);
    std::string motd;
    ParseMotdReply(body, &motd);
    CddbStat stat;
    ParseStatReply(body, &stat);
    // The parsers also meet bodies that were not cut at a header.
    ParseReadReply(raw, &record);
    ParseStatReply(raw, &stat);
    return 0;
}

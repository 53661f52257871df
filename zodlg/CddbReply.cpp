#include "CddbReply.h"

#include "common/Cstrings.h"

#include <iconv.h>

#include <cerrno>
#include <climits>

namespace {

// A plain int: a thread-local object with a destructor would keep the
// library loaded until the thread ends.
thread_local int tLastError = 0;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c)
{
    if (IsDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

// Lines of a body; "\r\n" and a lone "\n" both end a line.
std::vector<std::string_view> Lines(std::string_view body)
{
    std::vector<std::string_view> lines;
    while (!body.empty()) {
        const std::size_t nl = body.find('\n');
        std::string_view line = body.substr(0, nl);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (nl == std::string_view::npos) break;
        body.remove_prefix(nl + 1);
    }
    return lines;
}

// The decimal number at the start of s (after blanks); false without digits.
// Values beyond INT_MAX are held at INT_MAX.
bool LeadingNumber(std::string_view s, int* value)
{
    s = Trim(s);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty() || !IsDigit(s.front())) return false;
    long long v = 0;
    for (char c : s) {
        if (!IsDigit(c)) break;
        v = v * 10 + (c - '0');
        if (v > INT_MAX) v = INT_MAX;
    }
    *value = static_cast<int>(negative ? -v : v);
    return true;
}

// A hexadecimal number of 1 to 8 digits at the start of s; *used receives
// the digits taken.
bool LeadingHex(std::string_view s, std::uint32_t* value, std::size_t* used)
{
    std::uint32_t v = 0;
    std::size_t n = 0;
    while (n < s.size() && HexValue(s[n]) >= 0) {
        if (n == 8) return false;
        v = v * 16 + static_cast<std::uint32_t>(HexValue(s[n]));
        ++n;
    }
    if (n == 0) return false;
    *value = v;
    if (used) *used = n;
    return true;
}

bool IsListCode(int code) { return code >= 210 && code <= 219; }

// The text of a CP932 body as UTF-8; a byte that starts no character becomes
// U+FFFD. The converter is opened per call: a kept one would need a
// thread-local object with a destructor, which keeps the library loaded.
std::string Cp932ToUtf8(std::string_view in)
{
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
    std::string out;
    out.reserve(in.size() * 3 / 2 + 16);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char buffer[4096];
    while (srcLeft > 0) {
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        const std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (r != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) continue;
        out.append("\xEF\xBF\xBD");
        ++src;
        --srcLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

// Where the body starts: after the first empty line ("\r\n\r\n", or "\n\n"
// from a server that ends its lines with "\n" alone); npos while the header
// has not ended.
std::size_t BodyStart(std::string_view raw)
{
    const std::size_t crlf = raw.find("\r\n\r\n");
    const std::size_t lf = raw.find("\n\n");
    if (crlf == std::string_view::npos && lf == std::string_view::npos) return std::string_view::npos;
    if (lf == std::string_view::npos || (crlf != std::string_view::npos && crlf < lf)) return crlf + 4;
    return lf + 2;
}

// Where the terminator line "." starts within the body (the line end before
// it is cut too); npos when it has not arrived.
std::size_t TerminatorAt(std::string_view body)
{
    std::size_t p = 0;
    while ((p = body.find("\n.", p)) != std::string_view::npos) {
        const std::string_view rest = body.substr(p + 2);
        if (StartsWith(rest, "\r\n") || StartsWith(rest, "\n")) return (p > 0 && body[p - 1] == '\r') ? p - 1 : p;
        p += 2;
    }
    return std::string_view::npos;
}

// Appends a value of a multi-line key, bounded by the reply size.
void AppendValue(std::string* to, std::string_view value)
{
    const std::string decoded = DecodeXmcdEscapes(value);
    if (to->size() + decoded.size() <= kMaxReplySize) to->append(decoded);
}

// "TTITLE12" -> 12 for prefix "TTITLE"; -1 when the rest is not a track
// number of 0..98.
int TrackIndex(std::string_view key, std::string_view prefix)
{
    if (!StartsWith(key, prefix)) return -1;
    std::string_view digits = key.substr(prefix.size());
    if (digits.empty() || digits.size() > 3) return -1;
    int n = 0;
    for (char c : digits) {
        if (!IsDigit(c)) return -1;
        n = n * 10 + (c - '0');
    }
    return n < kMaxTracks ? n : -1;
}

// A latitude or longitude of a sites line: hemisphere letter, three digits
// of degrees, one separator, two digits of minutes.
bool ParseCoordinate(std::string_view s, char positive, char negative, bool* isPositive, int* minutes)
{
    if (s.size() != 7 || (s[0] != positive && s[0] != negative)) return false;
    if (!IsDigit(s[1]) || !IsDigit(s[2]) || !IsDigit(s[3]) || !IsDigit(s[5]) || !IsDigit(s[6])) return false;
    *isPositive = s[0] == positive;
    *minutes = ((s[1] - '0') * 100 + (s[2] - '0') * 10 + (s[3] - '0')) * 60 + (s[5] - '0') * 10 + (s[6] - '0');
    return true;
}

// The next blank-separated field of *s; empty at the end.
std::string_view NextField(std::string_view* s)
{
    std::size_t i = 0;
    while (i < s->size() && IsBlank((*s)[i])) ++i;
    std::size_t j = i;
    while (j < s->size() && !IsBlank((*s)[j])) ++j;
    const std::string_view field = s->substr(i, j - i);
    s->remove_prefix(j);
    return field;
}

bool ParseYesNo(std::string_view value, bool* flag)
{
    if (EqualsNoCase(value, "yes")) {
        *flag = true;
        return true;
    }
    if (EqualsNoCase(value, "no")) {
        *flag = false;
        return true;
    }
    return false;
}

// One match line: category, blanks, disc id, blanks, "artist / album".
bool ParseMatch(std::string_view line, CddbMatch* match)
{
    std::size_t i = 0;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    if (i == 0 || i == line.size()) return false;
    match->category = std::string(line.substr(0, i));
    while (i < line.size() && IsBlank(line[i])) ++i;
    std::size_t used = 0;
    if (!LeadingHex(line.substr(i), &match->discId, &used)) return false;
    i += used;
    if (i < line.size() && !IsBlank(line[i])) return false;
    while (i < line.size() && IsBlank(line[i])) ++i;
    const std::string_view title = line.substr(i);
    const std::size_t slash = title.find('/');
    if (slash == std::string_view::npos) {
        match->artist = std::string(Trim(title));
        match->album.clear();
    } else {
        match->artist = std::string(Trim(title.substr(0, slash)));
        match->album = std::string(Trim(title.substr(slash + 1)));
    }
    return true;
}

}  // namespace

int CddbLastError() { return tLastError; }
void SetCddbLastError(int error) { tLastError = error; }

int ReplyCode(std::string_view body)
{
    if (body.size() < 3 || !IsDigit(body[0]) || !IsDigit(body[1]) || !IsDigit(body[2])) return -1;
    return (body[0] - '0') * 100 + (body[1] - '0') * 10 + (body[2] - '0');
}

ReplyScan ScanReply(std::string_view raw, bool multiLine, bool closed, std::size_t* keep)
{
    const std::size_t start = BodyStart(raw);
    if (start == std::string_view::npos) return closed ? ReplyScan::kBad : ReplyScan::kMore;
    const std::string_view body = raw.substr(start);
    if (body.find('\n') == std::string_view::npos && !closed) return ReplyScan::kMore;
    const int code = ReplyCode(body);
    if (code < 0) return ReplyScan::kBad;
    const std::size_t end = TerminatorAt(body);
    if (end != std::string_view::npos) {
        *keep = start + end;
        return ReplyScan::kDone;
    }
    if ((multiLine && !IsListCode(code)) || (closed && !IsListCode(code))) {
        *keep = raw.size();
        return ReplyScan::kDone;
    }
    // A list reply that lost its terminator is cut short.
    return closed ? ReplyScan::kBad : ReplyScan::kMore;
}

std::string ReplyBody(std::string_view raw)
{
    const std::size_t start = BodyStart(raw);
    if (start == std::string_view::npos) return {};
    std::string_view body = raw.substr(start);
    std::string text = IsValidUtf8(body.data(), static_cast<qsizetype>(body.size())) ? std::string(body)
                                                                                     : Cp932ToUtf8(body);
    // Texts leave the library zero-terminated: a zero inside would cut them.
    std::erase(text, '\0');
    return text;
}

std::string DecodeXmcdEscapes(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char next = value[i + 1];
            if (next == 'n' || next == 't' || next == '\\') {
                out.push_back(next == 'n' ? '\n' : next == 't' ? '\t' : '\\');
                ++i;
                continue;
            }
        }
        out.push_back(value[i]);
    }
    return out;
}

void SplitDiscTitle(const std::string& title, std::string* artist, std::string* album)
{
    const std::size_t sep = title.find(" / ", 1);
    if (sep == std::string::npos) {
        *artist = title;
        *album = title;
        return;
    }
    *artist = title.substr(0, sep);
    *album = title.substr(sep + 3);
}

bool ParseQueryReply(const std::string& body, std::vector<CddbMatch>* matches, int* status)
{
    matches->clear();
    const int code = ReplyCode(body);
    *status = code;
    const std::vector<std::string_view> lines = Lines(body);
    if (code == 200) {
        const std::string_view rest = lines.empty() ? std::string_view() : Trim(lines[0].substr(3));
        CddbMatch match;
        if (rest.size() < 6 || !ParseMatch(rest, &match)) {
            SetCddbLastError(kWsaEprotonosupport);
            return false;
        }
        matches->push_back(std::move(match));
    } else if (IsListCode(code)) {
        for (std::size_t i = 1; i < lines.size(); ++i) {
            CddbMatch match;
            if (ParseMatch(Trim(lines[i]), &match)) matches->push_back(std::move(match));
        }
    } else if (code != 202) {
        SetCddbLastError(kWsaEprotonosupport);
    }
    return !matches->empty();
}

bool ParseReadReply(const std::string& body, CddbReadResult* result)
{
    *result = CddbReadResult();
    if (!IsListCode(ReplyCode(body))) {
        SetCddbLastError(kWsaEprotonosupport);
        return false;
    }
    const std::vector<std::string_view> lines = Lines(body);
    if (lines.size() < 2) {
        SetCddbLastError(kWsaEprotonosupport);
        return false;
    }
    bool valid = false, inOffsets = false;
    bool sawLength = false, sawSubmitted = false, sawDiscId = false, sawTitle = false;
    std::string discTitle, playOrder;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (!line.empty() && line[0] == '#') {
            const std::string_view text = Trim(line.substr(1));
            if (StartsWith(text, "xmcd")) valid = true;
            if (text.find("Track frame offsets:") != std::string_view::npos) {
                inOffsets = true;
            } else if (StartsWith(text, "Disc length:")) {
                inOffsets = false;
                sawLength = LeadingNumber(text.substr(12), &result->discLength) || sawLength;
            } else if (StartsWith(text, "Revision:")) {
                LeadingNumber(text.substr(9), &result->revision);
            } else if (StartsWith(text, "Submitted via:")) {
                std::string_view rest = text.substr(14);
                int words = 0;
                for (; words < 3; ++words) {
                    const std::string_view word = NextField(&rest);
                    if (word.empty()) break;
                    result->submittedVia[words] = std::string(word);
                }
                if (words < 2) {
                    SetCddbLastError(kWsaEprotonosupport);
                    return false;
                }
                sawSubmitted = true;
            } else if (inOffsets && !text.empty()) {
                int offset = 0;
                if (LeadingNumber(text, &offset) && offset >= 0 && result->frameOffsets.size() < 100)
                    result->frameOffsets.push_back(static_cast<std::uint32_t>(offset));
            }
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = line.substr(0, eq);
        const std::string_view value = line.substr(eq + 1);
        int track;
        if (key == "DISCID") {
            if (value.size() >= 8 && LeadingHex(value.substr(0, 8), &result->discId, nullptr)) sawDiscId = true;
        } else if (key == "DTITLE") {
            AppendValue(&discTitle, value);
            sawTitle = true;
        } else if (key == "DYEAR") {
            LeadingNumber(value, &result->year);
        } else if (key == "DGENRE") {
            AppendValue(&result->genre, value);
        } else if (key == "EXTD") {
            AppendValue(&result->extendedDisc, value);
        } else if (key == "PLAYORDER") {
            AppendValue(&playOrder, value);
        } else if ((track = TrackIndex(key, "TTITLE")) >= 0) {
            if (result->trackTitles.size() <= static_cast<std::size_t>(track)) result->trackTitles.resize(track + 1);
            AppendValue(&result->trackTitles[track], value);
        } else if ((track = TrackIndex(key, "EXTT")) >= 0) {
            if (result->extendedTracks.size() <= static_cast<std::size_t>(track))
                result->extendedTracks.resize(track + 1);
            AppendValue(&result->extendedTracks[track], value);
        }
    }
    if (!valid || result->frameOffsets.empty() || !sawLength || !sawSubmitted || !sawDiscId || !sawTitle ||
        result->trackTitles.size() != result->extendedTracks.size()) {
        SetCddbLastError(kWsaEprotonosupport);
        return false;
    }
    SplitDiscTitle(discTitle, &result->artist, &result->album);
    std::string_view order = playOrder;
    while (!order.empty()) {
        const std::size_t comma = order.find(',');
        int n = 0;
        if (LeadingNumber(order.substr(0, comma), &n) && n >= 0 && result->playOrder.size() < 1000)
            result->playOrder.push_back(static_cast<std::uint32_t>(n));
        if (comma == std::string_view::npos) break;
        order.remove_prefix(comma + 1);
    }
    return true;
}

bool ParseSitesReply(const std::string& body, std::vector<CddbServer>* servers)
{
    servers->clear();
    if (!IsListCode(ReplyCode(body))) {
        SetCddbLastError(kWsaEprotonosupport);
        return false;
    }
    const std::vector<std::string_view> lines = Lines(body);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::string_view rest = lines[i];
        const std::string_view site = NextField(&rest);
        const std::string_view protocol = NextField(&rest);
        const std::string_view port = NextField(&rest);
        const std::string_view address = NextField(&rest);
        const std::string_view latitude = NextField(&rest);
        const std::string_view longitude = NextField(&rest);
        const std::string_view description = Trim(rest);
        if (description.empty() || !EqualsNoCase(protocol, "http")) continue;
        CddbServer server;
        int portNumber = 0;
        if (!LeadingNumber(port, &portNumber) || portNumber < 0 || portNumber > 65535) continue;
        if (!ParseCoordinate(latitude, 'N', 'S', &server.north, &server.latitude)) continue;
        if (!ParseCoordinate(longitude, 'E', 'W', &server.east, &server.longitude)) continue;
        server.host = std::string(site);
        server.port = portNumber;
        server.path = std::string(address);
        server.description = std::string(description);
        servers->push_back(std::move(server));
    }
    return true;
}

bool ParseMotdReply(const std::string& body, std::string* text)
{
    text->clear();
    if (!IsListCode(ReplyCode(body))) {
        SetCddbLastError(kWsaEprotonosupport);
        return false;
    }
    const std::vector<std::string_view> lines = Lines(body);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (i > 1) text->push_back('\n');
        text->append(lines[i]);
    }
    return true;
}

bool ParseStatReply(const std::string& body, CddbStat* stat)
{
    *stat = CddbStat();
    if (!IsListCode(ReplyCode(body))) {
        SetCddbLastError(kWsaEprotonosupport);
        return false;
    }
    enum { kFields, kCategories, kPending } section = kFields;
    const std::vector<std::string_view> lines = Lines(body);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const std::size_t colon = line.find(':');
        const std::string_view name = Trim(line.substr(0, colon));
        const std::string_view value = colon == std::string_view::npos ? std::string_view() : Trim(line.substr(colon + 1));
        if (section != kFields && !line.empty() && IsBlank(line[0])) {
            int count = 0;
            if (colon != std::string_view::npos && !name.empty() && LeadingNumber(value, &count))
                (section == kCategories ? stat->categories : stat->pending).emplace_back(name, count);
            continue;
        }
        section = kFields;
        if (colon == std::string_view::npos) continue;
        if (EqualsNoCase(name, "Database entries by category") && value.empty()) {
            section = kCategories;
        } else if (EqualsNoCase(name, "Pending File transmissions") && value.empty()) {
            section = kPending;
        } else if (EqualsNoCase(name, "current proto")) {
            LeadingNumber(value, &stat->currentProto);
        } else if (EqualsNoCase(name, "max proto")) {
            LeadingNumber(value, &stat->maxProto);
        } else if (EqualsNoCase(name, "current users")) {
            LeadingNumber(value, &stat->currentUsers);
        } else if (EqualsNoCase(name, "max users")) {
            LeadingNumber(value, &stat->maxUsers);
        } else if (EqualsNoCase(name, "Database entries")) {
            LeadingNumber(value, &stat->databaseEntries);
        } else if (EqualsNoCase(name, "gets") || EqualsNoCase(name, "updates")) {
            if (!ParseYesNo(value, EqualsNoCase(name, "gets") ? &stat->gets : &stat->updates)) {
                SetCddbLastError(kWsaEprotonosupport);
                return false;
            }
        } else if (EqualsNoCase(name, "posting")) {
            ParseYesNo(value, &stat->posting);
        } else if (EqualsNoCase(name, "quotes")) {
            ParseYesNo(value, &stat->quotes);
        } else if (EqualsNoCase(name, "strip ext")) {
            ParseYesNo(value, &stat->stripExt);
        }
    }
    return true;
}

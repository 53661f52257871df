#include "ServerList.h"

#include "platform/files/statefile.h"

#include <fstream>
#include <sstream>

namespace {

// A list file is a few hundred lines at most; a larger file is not a list.
constexpr std::streamoff kMaxListBytes = 1 << 20;

std::vector<std::string> ReadLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    if (!in) return lines;
    in.seekg(0, std::ios::end);
    if (in.tellg() > kMaxListBytes) return lines;
    in.seekg(0);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

bool WriteLines(const std::string& path, const std::vector<std::string>& lines)
{
    std::string content;
    for (const std::string& line : lines) content += line + "\n";
    return statefile::WriteAtomically(path, content) == 0;
}

bool SplitLine(std::string line, ServerEntry* entry)
{
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t first = line.find(',');
    if (first == std::string::npos) return false;
    const std::size_t second = line.find(',', first + 1);
    if (second == std::string::npos) return false;
    entry->host = line.substr(0, first);
    entry->port = line.substr(first + 1, second - first - 1);
    entry->path = line.substr(second + 1);
    return true;
}

}  // namespace

std::string TrimBlanks(const std::string& text)
{
    const std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos) return {};
    return text.substr(start, text.find_last_not_of(" \t") - start + 1);
}

void CServerList::Load()
{
    entries_.clear();
    const std::pair<ServerEntry::Source, std::string> files[] = {{ServerEntry::kSites, SitesPath()},
                                                                 {ServerEntry::kUser, UserPath()}};
    for (const auto& [source, path] : files) {
        const std::vector<std::string> lines = ReadLines(path);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            ServerEntry entry;
            if (!SplitLine(lines[i], &entry)) continue;
            entry.source = source;
            entry.line = static_cast<int>(i);
            entries_.push_back(std::move(entry));
        }
    }
    if (entries_.empty())
        entries_.push_back({kDefaultCddbHost, std::to_string(kDefaultCddbPort), kDefaultCddbPath});
}

bool CServerList::Add(const std::string& host, const std::string& port, const std::string& path)
{
    std::vector<std::string> lines = ReadLines(UserPath());
    lines.push_back(TrimBlanks(host) + "," + TrimBlanks(port) + "," + path);
    return WriteLines(UserPath(), lines);
}

bool CServerList::Edit(std::size_t index, const std::string& port, const std::string& path)
{
    if (index >= entries_.size() || entries_[index].source != ServerEntry::kUser) return false;
    std::vector<std::string> lines = ReadLines(UserPath());
    const auto line = static_cast<std::size_t>(entries_[index].line);
    if (line >= lines.size()) return false;
    lines[line] = TrimBlanks(entries_[index].host) + "," + TrimBlanks(port) + "," + path;
    return WriteLines(UserPath(), lines);
}

bool CServerList::Delete(std::size_t index)
{
    if (index >= entries_.size() || entries_[index].source == ServerEntry::kDefault) return false;
    const std::string path = entries_[index].source == ServerEntry::kSites ? SitesPath() : UserPath();
    std::vector<std::string> lines = ReadLines(path);
    const auto line = static_cast<std::size_t>(entries_[index].line);
    if (line >= lines.size()) return false;
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(line));
    return WriteLines(path, lines);
}

bool CServerList::WriteSites(const std::vector<CddbServer>& servers)
{
    std::vector<std::string> lines;
    for (const CddbServer& server : servers)
        lines.push_back(server.host + "," + std::to_string(server.port) + "," + server.path);
    return WriteLines(SitesPath(), lines);
}

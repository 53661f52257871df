// The known CD-database servers of the settings dialog, kept in two text
// files of the player's ListFiles folder: "Servers.zorf", the site list that
// a search rewrites, and "UserServers.zorf", the servers the user added.
// One server per line: host, ",", port, ",", path (the rest of the line; a
// trailing "\r" is dropped). A line with fewer than two commas is no server.
//
// Each entry remembers its file and line, so an edit or a delete changes
// that very line whatever blank or malformed lines stand before it; the
// other lines are kept as they stood. Files are rewritten whole through a
// temporary file and a rename: a failed write leaves the old list.
#pragma once

#include "CddbClient.h"

#include <string>
#include <vector>

struct ServerEntry {
    enum Source { kDefault, kSites, kUser };
    std::string host;
    std::string port;   // as written in the file
    std::string path;
    Source source = kDefault;
    int line = -1;   // line index in its file
    bool ReadOnly() const { return source != kUser; }
};

class CServerList {
public:
    // folder: the ListFiles folder, ending with "/".
    explicit CServerList(std::string folder) : folder_(std::move(folder)) {}

    // Reads both files; the default entry alone when neither names a server.
    void Load();
    const std::vector<ServerEntry>& Entries() const { return entries_; }

    // Appends a user server (host and port with blanks removed at both
    // ends). False when the file could not be written.
    bool Add(const std::string& host, const std::string& port, const std::string& path);
    // Replaces the line of the user entry at index (host kept).
    bool Edit(std::size_t index, const std::string& port, const std::string& path);
    // Removes the line of the entry at index from its file.
    bool Delete(std::size_t index);
    // Rewrites the site list with one "host,port,path" line per server.
    bool WriteSites(const std::vector<CddbServer>& servers);

    std::string SitesPath() const { return folder_ + "Servers.zorf"; }
    std::string UserPath() const { return folder_ + "UserServers.zorf"; }

private:
    std::string folder_;
    std::vector<ServerEntry> entries_;
};

// Blanks (spaces and tabs) removed at both ends.
std::string TrimBlanks(const std::string& text);

// A folder of the running fuzz target's own for the files it writes, made
// once under $TMPDIR (/tmp when unset; a memory file system makes the
// writers' flushes cheap), with a trailing "/".
#pragma once

#include <cstdlib>
#include <string>

#include <unistd.h>

inline const std::string& FuzzFolder(const char* target)
{
    static const std::string folder = [target] {
        const char* base = std::getenv("TMPDIR");
        std::string name = std::string(base && *base ? base : "/tmp") + "/" + target + ".XXXXXX";
        if (!mkdtemp(name.data())) std::abort();
        return name + "/";
    }();
    return folder;
}

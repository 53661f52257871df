// Without libFuzzer (the normal build): runs a fuzz target once over each
// file named on the command line, or over each file of the folders named, so
// that the targets keep building and the seeds keep passing.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool RunFile(const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::vector<uint8_t> bytes;
    uint8_t buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    int runs = 0;
    for (int i = 1; i < argc; ++i) {
        struct stat st;
        if (stat(argv[i], &st) != 0) return 1;
        if (!S_ISDIR(st.st_mode)) {
            runs += RunFile(argv[i]);
            continue;
        }
        DIR* dir = opendir(argv[i]);
        if (!dir) return 1;
        while (const dirent* e = readdir(dir)) {
            if (e->d_name[0] == '.') continue;
            runs += RunFile(std::string(argv[i]) + "/" + e->d_name);
        }
        closedir(dir);
    }
    std::printf("%d inputs\n", runs);
    return runs > 0 ? 0 : 1;
}

// The program Zorvi: opens the player's body, libzorvi.so beside it, with
// local binding and runs it.
//
// The libraries an executable needs make up the scope in which the dynamic
// loader first looks up every symbol of every library loaded later. With Qt,
// GStreamer and the rest of the player's 80 libraries in it, the decoders'
// plug-in (some 170 libraries, loaded while the first file opens) took about
// a third longer to load, and the first picture waits for it. Opened with
// local binding, the player's libraries stay out of that scope: each of them
// and each plug-in still finds what it links against.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    std::string folder;
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length > 0) {
        folder.assign(self, static_cast<size_t>(length));
        folder.erase(folder.rfind('/') + 1);
    }
    const std::string body = folder + "libzorvi.so";
    void* handle = dlopen(body.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "Zorvi: %s\n", dlerror());
        return 127;
    }
    using Entry = int (*)(int, char**);
    const auto entry = reinterpret_cast<Entry>(dlsym(handle, "ZorviMain"));
    if (!entry) {
        std::fprintf(stderr, "Zorvi: %s\n", dlerror());
        return 127;
    }
    return entry(argc, argv);
}

// Start-up of the real program beside mpv and gst-play-1.0, each started the
// same way on the same X display, in interleaved rounds:
//
//   bench_startup --zorvi PATH [--clip FILE] [--rounds N] [--play-seconds S]
//                 [--big-list FILE] [--big-folder DIR] [--new-home-path 1]
//
// For every start: a fresh HOME (config, data and runtime folders inside it;
// the GStreamer plugin cache is shared and warmed once, as on a used
// machine), sound to a null sink for all three players. The fresh HOME is
// made again at one path for every start: GStreamer's cache records HOME's
// path for the plug-ins that look for add-ons below it, and a new path makes
// it scan those plug-ins again and rewrite the cache at every start, which a
// used machine never does (--new-home-path 1 times that too). From the moment the
// process is spawned it times
//   - window mapped: the first top-level window of the display mapped,
//   - first picture: the first moment the middle row of that window shows
//     the clip (at least a fifth of its pixels strongly coloured: the test
//     clip is a bright colour pattern, the players' empty windows are black or
//     grey),
// then lets it play for S seconds and reads its peak memory (VmHWM) and its
// CPU seconds per second of playback. With --big-list / --big-folder it also
// times the first window for a huge list and a huge folder, beside the empty
// window (the program started without arguments) and beside mpv.
//
// Needs an X display (run under xvfb-run -a). Prints medians and the ratios.
#include <xcb/xcb.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double MsSince(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

struct Start {
    double mappedMs = -1;
    double pictureMs = -1;
    double peakMb = -1;
    double cpuPerSecond = -1;
};

// User + system seconds of a running process, from /proc/PID/stat.
double CpuSeconds(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return -1;
    std::vector<std::string> fields;
    size_t at = close + 2;
    while (at < text.size()) {
        const size_t space = text.find(' ', at);
        fields.push_back(text.substr(at, space - at));
        if (space == std::string::npos) break;
        at = space + 1;
    }
    if (fields.size() < 13) return -1;
    const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
    return (std::stod(fields[11]) + std::stod(fields[12])) / tick;   // utime, stime
}

double PeakMb(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return -1;
}

class Display {
public:
    Display()
    {
        conn_ = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(conn_)) {
            std::fprintf(stderr, "bench_startup needs an X display (run it under xvfb-run -a)\n");
            std::exit(2);
        }
        root_ = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(conn_, root_, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(conn_);
    }
    ~Display() { xcb_disconnect(conn_); }

    void Drain()
    {
        while (xcb_generic_event_t* e = xcb_poll_for_event(conn_)) free(e);
    }

    // The first top-level window mapped within the time left, 0 when none.
    xcb_window_t WaitForMap(Clock::time_point deadline)
    {
        pollfd p{xcb_get_file_descriptor(conn_), POLLIN, 0};
        while (Clock::now() < deadline) {
            while (xcb_generic_event_t* e = xcb_poll_for_event(conn_)) {
                xcb_window_t mapped = 0;
                if ((e->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                    auto* m = reinterpret_cast<xcb_map_notify_event_t*>(e);
                    if (m->event == root_ && !m->override_redirect) mapped = m->window;
                }
                free(e);
                if (mapped) return mapped;
            }
            poll(&p, 1, 1);
        }
        return 0;
    }

    // Whether the middle row of the window, as shown on the screen, is the
    // coloured clip.
    bool ShowsPicture(xcb_window_t window)
    {
        xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(conn_, xcb_get_geometry(conn_, window), nullptr);
        if (!g) return false;
        const int width = g->width, height = g->height;
        free(g);
        xcb_translate_coordinates_reply_t* t =
            xcb_translate_coordinates_reply(conn_, xcb_translate_coordinates(conn_, window, root_, 0, 0), nullptr);
        if (!t) return false;
        const int x = t->dst_x, y = t->dst_y + height / 2;
        free(t);
        if (width < 8 || height < 8) return false;
        xcb_get_image_reply_t* image = xcb_get_image_reply(
            conn_, xcb_get_image(conn_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, x, y, width, 1, ~0u), nullptr);
        if (!image) return false;
        const uint8_t* data = xcb_get_image_data(image);
        const int length = xcb_get_image_data_length(image);
        int coloured = 0;
        for (int i = 0; i + 3 < length; i += 4) {
            const int b = data[i], gr = data[i + 1], r = data[i + 2];
            if (std::max({r, gr, b}) - std::min({r, gr, b}) > 100) ++coloured;
        }
        free(image);
        return coloured * 5 >= width;
    }

private:
    xcb_connection_t* conn_ = nullptr;
    xcb_window_t root_ = 0;
};

struct Player {
    std::string name;
    std::vector<std::string> argv;   // without the media
};

std::string g_gstCache;
fs::path g_homePath;   // empty: a new path for every start

pid_t Spawn(const std::vector<std::string>& argv, const fs::path& home)
{
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
        const char* eq = std::strchr(*e, '=');
        if (eq) env[std::string(*e, static_cast<size_t>(eq - *e))] = eq + 1;
    }
    env["HOME"] = home;
    env["XDG_CONFIG_HOME"] = home / "config";
    env["XDG_DATA_HOME"] = home / "data";
    env["XDG_RUNTIME_DIR"] = home / "run";
    env["XDG_CACHE_HOME"] = home / "cache";
    env["GST_REGISTRY"] = g_gstCache;
    env["ZORAVEL_AUDIO_SINK"] = "fakesink";
    env.erase("ZORAVEL_REGISTRY");
    env.erase("ZORAVEL_HOME");
    env.erase("ZORAVEL_RUNTIME_DIR");
    env.erase("QT_QPA_PLATFORM");
    std::vector<std::string> envText;
    for (const auto& [k, v] : env) envText.push_back(k + "=" + v);
    std::vector<char*> envp, args;
    for (auto& s : envText) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argCopy = argv;
    for (auto& s : argCopy) args.push_back(s.data());
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void EndProcess(pid_t pid)
{
    kill(pid, SIGTERM);
    for (int i = 0; i < 300; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return;
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

fs::path FreshHome()
{
    fs::path home;
    if (g_homePath.empty()) {
        char pattern[] = "/tmp/zo-bench-home.XXXXXX";
        home = mkdtemp(pattern);
    } else {
        home = g_homePath;
        fs::remove_all(home);
        fs::create_directory(home);
    }
    for (const char* sub : {"config", "data", "run", "cache"}) fs::create_directory(home / sub);
    fs::permissions(home / "run", fs::perms::owner_all);
    return home;
}

// One start: window mapped, and with `wantPicture` the first picture, peak
// memory and CPU over `playSeconds`.
Start RunOnce(Display& display, const Player& player, const std::vector<std::string>& media, bool wantPicture,
              int playSeconds)
{
    Start s;
    const fs::path home = FreshHome();
    std::vector<std::string> argv = player.argv;
    argv.insert(argv.end(), media.begin(), media.end());
    display.Drain();
    const Clock::time_point start = Clock::now();
    const pid_t pid = Spawn(argv, home);
    if (pid <= 0) {
        fs::remove_all(home);
        return s;
    }
    const xcb_window_t window = display.WaitForMap(start + std::chrono::seconds(20));
    if (window) s.mappedMs = MsSince(start);
    if (window && wantPicture) {
        const Clock::time_point deadline = start + std::chrono::seconds(20);
        while (Clock::now() < deadline) {
            if (display.ShowsPicture(window)) {
                s.pictureMs = MsSince(start);
                break;
            }
            usleep(1000);
        }
        if (s.pictureMs > 0 && playSeconds > 0) {
            const double cpu0 = CpuSeconds(pid);
            const Clock::time_point playStart = Clock::now();
            usleep(static_cast<useconds_t>(playSeconds) * 1000000);
            const double cpu1 = CpuSeconds(pid);
            s.cpuPerSecond = (cpu1 - cpu0) / (MsSince(playStart) / 1000.0);
            s.peakMb = PeakMb(pid);
        }
    }
    EndProcess(pid);
    fs::remove_all(home);
    return s;
}

double Median(std::vector<double> v)
{
    v.erase(std::remove_if(v.begin(), v.end(), [](double x) { return x < 0; }), v.end());
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void PrintRatio(const char* what, double ours, double theirs)
{
    if (ours > 0 && theirs > 0) std::printf("  %-44s %.2fx\n", what, ours / theirs);
}

}  // namespace

int main(int argc, char** argv)
{
    std::string zorvi, clip, bigList, bigFolder;
    int rounds = 7, playSeconds = 3;
    bool newHomePath = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i], v = argv[i + 1];
        if (a == "--zorvi") zorvi = v;
        else if (a == "--clip") clip = v;
        else if (a == "--rounds") rounds = std::max(1, std::atoi(v.c_str()));
        else if (a == "--play-seconds") playSeconds = std::clamp(std::atoi(v.c_str()), 0, 8);
        else if (a == "--big-list") bigList = v;
        else if (a == "--big-folder") bigFolder = v;
        else if (a == "--new-home-path") newHomePath = v != "0";
    }
#ifdef ZO_ZORVI_PATH
    if (zorvi.empty()) zorvi = ZO_ZORVI_PATH;
#endif
#ifdef ZO_FIXTURE_DIR
    if (clip.empty()) clip = ZO_FIXTURE_DIR "/bench720.mp4";
#endif
    if (zorvi.empty() || clip.empty() || !fs::exists(clip)) {
        std::fprintf(stderr, "usage: bench_startup --zorvi PATH --clip FILE [--rounds N] [--play-seconds S] "
                             "[--big-list FILE] [--big-folder DIR] [--new-home-path 1]\n");
        return 2;
    }

    char cacheDir[] = "/tmp/zo-bench-gst.XXXXXX";
    g_gstCache = std::string(mkdtemp(cacheDir)) + "/registry.bin";
    if (!newHomePath) g_homePath = fs::path(g_gstCache).parent_path() / "home";
    Display display;

    const std::vector<Player> players = {
        {"Zorvi", {zorvi}},
        {"mpv", {"mpv", "--no-config", "--vo=x11", "--ao=null", "--no-terminal"}},
        {"gst-play-1.0", {"gst-play-1.0", "--no-interactive", "-q", "--videosink=ximagesink", "--audiosink=fakesink"}},
    };
    // One unmeasured start of each warms the plugin cache and the file cache.
    for (const Player& p : players) RunOnce(display, p, {clip}, true, 0);

    std::map<std::string, std::vector<Start>> starts;
    for (int r = 0; r < rounds; ++r)
        for (size_t k = 0; k < players.size(); ++k) {
            const Player& p = players[(k + r) % players.size()];
            starts[p.name].push_back(RunOnce(display, p, {clip}, true, playSeconds));
        }

    std::map<std::string, std::map<std::string, double>> med;
    std::printf("clip %s, %d interleaved rounds, medians, %s\n\n", clip.c_str(), rounds,
                newHomePath ? "a new HOME path for every start" : "one HOME path made anew for every start");
    std::printf("%-14s %14s %16s %14s %16s\n", "player", "mapped ms", "first picture ms", "peak MB", "CPU s per s");
    for (const Player& p : players) {
        std::vector<double> mapped, picture, peak, cpu;
        for (const Start& s : starts[p.name]) {
            mapped.push_back(s.mappedMs);
            picture.push_back(s.pictureMs);
            peak.push_back(s.peakMb);
            cpu.push_back(s.cpuPerSecond);
        }
        auto& m = med[p.name];
        m["mapped"] = Median(mapped);
        m["picture"] = Median(picture);
        m["peak"] = Median(peak);
        m["cpu"] = Median(cpu);
        std::printf("%-14s %14.1f %16.1f %14.1f %16.3f\n", p.name.c_str(), m["mapped"], m["picture"], m["peak"],
                    m["cpu"]);
    }
    std::printf("\nZorvi against the peers:\n");
    PrintRatio("start to first picture / mpv", med["Zorvi"]["picture"], med["mpv"]["picture"]);
    PrintRatio("start to first picture / gst-play-1.0", med["Zorvi"]["picture"], med["gst-play-1.0"]["picture"]);
    PrintRatio("window mapped to first picture / mpv", med["Zorvi"]["picture"] - med["Zorvi"]["mapped"],
               med["mpv"]["picture"] - med["mpv"]["mapped"]);
    PrintRatio("peak memory while playing / mpv", med["Zorvi"]["peak"], med["mpv"]["peak"]);
    PrintRatio("CPU while playing / mpv", med["Zorvi"]["cpu"], med["mpv"]["cpu"]);
    PrintRatio("CPU while playing / gst-play-1.0", med["Zorvi"]["cpu"], med["gst-play-1.0"]["cpu"]);

    if (!bigList.empty() || !bigFolder.empty()) {
        std::vector<std::pair<std::string, std::vector<std::string>>> cases = {{"empty window", {}}};
        if (!bigList.empty()) cases.push_back({"big list", {bigList}});
        if (!bigFolder.empty()) cases.push_back({"big folder", {bigFolder}});
        std::map<std::string, std::vector<double>> ours, mpv;
        for (int r = 0; r < rounds; ++r)
            for (const auto& [name, media] : cases) {
                ours[name].push_back(RunOnce(display, players[0], media, false, 0).mappedMs);
                if (!media.empty())
                    mpv[name].push_back(
                        RunOnce(display, {"mpv", {"mpv", "--no-config", "--vo=x11", "--ao=null", "--no-terminal",
                                                  "--force-window=immediate"}},
                                media, false, 0)
                            .mappedMs);
            }
        std::printf("\nfirst window (ms, medians):\n");
        const double empty = Median(ours["empty window"]);
        for (const auto& [name, media] : cases) {
            const double o = Median(ours[name]);
            std::printf("  %-14s Zorvi %8.1f", name.c_str(), o);
            if (!media.empty()) std::printf("   mpv %8.1f   Zorvi / empty window %.2fx", Median(mpv[name]), o / empty);
            std::printf("\n");
        }
    }
    fs::remove_all(fs::path(g_gstCache).parent_path());
    return 0;
}

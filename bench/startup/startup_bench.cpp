// Start-up of the real program beside mpv and gst-play-1.0, each started the
// same way on the same X display, in interleaved rounds:
//
//   bench_startup --zorvi PATH [--clip FILE] [--rounds N] [--play-seconds S]
//                 [--settle-seconds S] [--dvd FOLDER] [--only file|cue|dvd]
//                 [--big-list FILE] [--big-folder DIR] [--new-home-path 1]
//
// For every start: a fresh HOME (config, data and runtime folders inside it;
// the GStreamer plugin cache is shared and warmed once, as on a used
// machine), sound to a null sink for all players. The fresh HOME is
// made again at one path for every start: GStreamer's cache records HOME's
// path for the plug-ins that look for add-ons below it, and a new path makes
// it scan those plug-ins again and rewrite the cache at every start, which a
// used machine never does (--new-home-path 1 times that too). A peer that is
// not installed is left out. From the moment the process is spawned it times
//   - window mapped: the first top-level window of the display mapped,
//   - first picture: the first moment the middle row of that window shows
//     the clip (at least a fifth of its pixels strongly coloured: the test
//     clip is a bright colour pattern, the players' empty windows are black or
//     grey),
// then lets it play on for the settling seconds (the start-up's tail) and
// reads its CPU seconds per second over S seconds of steady playback and its
// peak memory (VmHWM). The cases:
//   - file: the clip, beside mpv and gst-play-1.0;
//   - cue: `Zorvi /cd disc.cue` on a cue sheet over a WAVE file the bench
//     writes, beside gst-play-1.0 on that WAVE file, to the first sound: both
//     write their sound into a FIFO (a filesink; the program takes it from
//     ZORAVEL_AUDIO_SINK), and the first bytes read from it are the first
//     sound;
//   - dvd: `Zorvi /dvd FOLDER` beside `gst-play-1.0 dvd://FOLDER`, to the
//     first picture (the DVD fixture by default, when it was made).
// With --big-list / --big-folder it also times the first window for a huge
// list and a huge folder, beside the empty window (the program started
// without arguments) and beside mpv.
//
// Every start finds a session bus, as on a desktop: without one in the
// environment the bench starts a bus of its own for them. (Where none runs,
// the toolkit's first look at the bus, for its accessibility bridge, has the
// bus library start one, and every start of the program waited for that.)
//
// Needs an X display (run under xvfb-run -a). Prints medians, and the ratios
// of the medians with their spread: the least and the greatest of the ratios
// of the starts of one round.
#include <xcb/xcb.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
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
    double soundMs = -1;
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
    std::map<std::string, std::string> env = {};   // besides the bench's own
};

std::string g_gstCache;
std::string g_sessionBus;   // the bus the bench started; empty: the environment's
fs::path g_homePath;   // empty: a new path for every start

// Whether the program can be started: a path that is executable, or a name
// found on PATH.
bool Installed(const std::string& program)
{
    if (program.find('/') != std::string::npos) return access(program.c_str(), X_OK) == 0;
    const char* path = std::getenv("PATH");
    const std::string dirs = path ? path : "";
    size_t at = 0;
    while (at <= dirs.size()) {
        const size_t colon = std::min(dirs.find(':', at), dirs.size());
        const std::string dir = dirs.substr(at, colon - at);
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
        at = colon + 1;
    }
    return false;
}

pid_t Spawn(const std::vector<std::string>& argv, const fs::path& home, const std::map<std::string, std::string>& extra)
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
    if (!g_sessionBus.empty()) env["DBUS_SESSION_BUS_ADDRESS"] = g_sessionBus;
    env["ZORAVEL_AUDIO_SINK"] = "fakesink";
    env.erase("ZORAVEL_REGISTRY");
    env.erase("ZORAVEL_HOME");
    env.erase("ZORAVEL_RUNTIME_DIR");
    env.erase("QT_QPA_PLATFORM");
    for (const auto& [k, v] : extra) env[k] = v;
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

// Reads what is waiting in the FIFO (a player blocked on a full FIFO could
// not end); whether anything was.
bool Drain(int fifo)
{
    if (fifo < 0) return false;
    char buffer[65536];
    bool any = false;
    while (read(fifo, buffer, sizeof buffer) > 0) any = true;
    return any;
}

void EndProcess(pid_t pid, int fifo = -1)
{
    kill(pid, SIGTERM);
    for (int i = 0; i < 300; ++i) {
        Drain(fifo);
        if (waitpid(pid, nullptr, WNOHANG) == pid) return;
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// A session bus of the bench's own, when the environment names none: its
// daemon's process (0 when none was started). Its address is g_sessionBus.
pid_t StartSessionBus()
{
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address) return 0;
    int out[2];
    if (pipe(out) != 0) return 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    char* args[] = {const_cast<char*>("dbus-daemon"), const_cast<char*>("--session"), const_cast<char*>("--nofork"),
                    const_cast<char*>("--print-address=1"), nullptr};
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args, environ) != 0) pid = 0;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string text;
    char c;
    while (pid > 0 && read(out[0], &c, 1) == 1 && c != '\n') text += c;
    close(out[0]);
    if (pid > 0 && text.empty()) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        return 0;
    }
    g_sessionBus = text;
    return pid;
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

enum class Wait { kWindow, kPicture, kSound };

struct Timing {
    Wait wait = Wait::kPicture;
    int settleSeconds = 0;   // after the first picture, before the CPU is read
    int playSeconds = 0;     // the CPU and memory are read over these; 0: not at all
    std::string fifo;        // kSound: the FIFO the players' sound goes to
};

// One start: the window mapped, and the first picture or the first sound;
// with play seconds the CPU over steady playback and the peak memory.
Start RunOnce(Display& display, const Player& player, const std::vector<std::string>& media, const Timing& timing)
{
    Start s;
    const fs::path home = FreshHome();
    std::vector<std::string> argv = player.argv;
    argv.insert(argv.end(), media.begin(), media.end());
    // The FIFO is open for reading before the player starts: its sink's
    // opening for writing does not wait then.
    const int fifo = timing.wait == Wait::kSound ? open(timing.fifo.c_str(), O_RDONLY | O_NONBLOCK) : -1;
    display.Drain();
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + std::chrono::seconds(20);
    const pid_t pid = Spawn(argv, home, player.env);
    if (pid <= 0) {
        if (fifo >= 0) close(fifo);
        fs::remove_all(home);
        return s;
    }
    if (timing.wait == Wait::kSound) {
        pollfd p{fifo, POLLIN, 0};
        while (Clock::now() < deadline && s.soundMs < 0) {
            if (poll(&p, 1, 5) > 0 && Drain(fifo))
                s.soundMs = MsSince(start);
            else if (p.revents & POLLHUP)
                usleep(1000);   // a sink opened the FIFO and closed it again
        }
    } else {
        const xcb_window_t window = display.WaitForMap(deadline);
        if (window) s.mappedMs = MsSince(start);
        while (window && timing.wait == Wait::kPicture && Clock::now() < deadline) {
            if (display.ShowsPicture(window)) {
                s.pictureMs = MsSince(start);
                break;
            }
            usleep(1000);
        }
        if (s.pictureMs > 0 && timing.playSeconds > 0) {
            usleep(static_cast<useconds_t>(timing.settleSeconds) * 1000000);
            const double cpu0 = CpuSeconds(pid);
            const Clock::time_point playStart = Clock::now();
            usleep(static_cast<useconds_t>(timing.playSeconds) * 1000000);
            const double cpu1 = CpuSeconds(pid);
            s.cpuPerSecond = (cpu1 - cpu0) / (MsSince(playStart) / 1000.0);
            s.peakMb = PeakMb(pid);
        }
    }
    EndProcess(pid, fifo);
    if (fifo >= 0) close(fifo);
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

// One figure of every start of a player, round by round (-1: not measured).
using Figures = std::vector<double>;

// The ratio of the medians, and the least and the greatest ratio of the
// starts of one round.
void PrintRatio(const char* what, const Figures& ours, const Figures& theirs)
{
    const double a = Median(ours), b = Median(theirs);
    if (a <= 0 || b <= 0) return;
    double least = 1e9, greatest = 0;
    for (size_t r = 0; r < std::min(ours.size(), theirs.size()); ++r) {
        if (ours[r] <= 0 || theirs[r] <= 0) continue;
        least = std::min(least, ours[r] / theirs[r]);
        greatest = std::max(greatest, ours[r] / theirs[r]);
    }
    std::printf("  %-44s %.2fx  (rounds %.2f-%.2f)\n", what, a / b, least, greatest);
}

Figures Column(const std::vector<Start>& starts, double Start::*field)
{
    Figures f;
    for (const Start& s : starts) f.push_back(s.*field);
    return f;
}

// Interleaved rounds of the players, each on its own media, after one
// unmeasured start of each (it warms the plugin cache and the file cache).
std::map<std::string, std::vector<Start>> RunRounds(Display& display, const std::vector<Player>& players,
                                                   const std::vector<std::vector<std::string>>& media,
                                                   const Timing& timing, int rounds)
{
    Timing warm = timing;
    warm.playSeconds = 0;
    for (size_t k = 0; k < players.size(); ++k) RunOnce(display, players[k], media[k], warm);
    std::map<std::string, std::vector<Start>> starts;
    for (int r = 0; r < rounds; ++r)
        for (size_t k = 0; k < players.size(); ++k) {
            const size_t i = (k + static_cast<size_t>(r)) % players.size();
            starts[players[i].name].push_back(RunOnce(display, players[i], media[i], timing));
        }
    return starts;
}

// The players that are installed; those that are not are told and left out.
std::vector<Player> InstalledOnly(const std::vector<Player>& players)
{
    std::vector<Player> kept;
    for (const Player& p : players) {
        if (Installed(p.argv[0]))
            kept.push_back(p);
        else
            std::printf("(%s is not installed: left out)\n", p.name.c_str());
    }
    return kept;
}

// A WAVE file of a 440 Hz tone, 44.1 kHz 16-bit stereo, and a cue sheet of
// one track over it; the sheet's path.
std::string WriteCueImage(const fs::path& dir, int seconds)
{
    const uint32_t frames = 44100u * static_cast<uint32_t>(seconds);
    std::vector<int16_t> samples(frames * 2);
    for (uint32_t i = 0; i < frames; ++i)
        samples[2 * i] = samples[2 * i + 1] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440 * i / 44100.0));
    const uint32_t bytes = frames * 4;
    std::ofstream wav(dir / "disc.wav", std::ios::binary);
    auto u32 = [&](uint32_t v) { wav.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { wav.write(reinterpret_cast<const char*>(&v), 2); };
    wav.write("RIFF", 4);
    u32(36 + bytes);
    wav.write("WAVEfmt ", 8);
    u32(16);
    u16(1);   // PCM
    u16(2);
    u32(44100);
    u32(44100 * 4);
    u16(4);
    u16(16);
    wav.write("data", 4);
    u32(bytes);
    wav.write(reinterpret_cast<const char*>(samples.data()), bytes);
    std::ofstream(dir / "disc.cue") << "FILE \"disc.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
    return (dir / "disc.cue").string();
}

void PrintFileCase(const std::vector<Player>& players, std::map<std::string, std::vector<Start>>& starts)
{
    std::printf("%-14s %14s %16s %14s %16s\n", "player", "mapped ms", "first picture ms", "peak MB", "CPU s per s");
    for (const Player& p : players) {
        const auto& st = starts[p.name];
        std::printf("%-14s %14.1f %16.1f %14.1f %16.3f\n", p.name.c_str(), Median(Column(st, &Start::mappedMs)),
                    Median(Column(st, &Start::pictureMs)), Median(Column(st, &Start::peakMb)),
                    Median(Column(st, &Start::cpuPerSecond)));
    }
    auto fig = [&](const char* name, double Start::*field) { return Column(starts[name], field); };
    auto mappedToPicture = [&](const char* name) {
        Figures f = fig(name, &Start::pictureMs);
        const Figures m = fig(name, &Start::mappedMs);
        for (size_t i = 0; i < f.size(); ++i) f[i] = f[i] > 0 && m[i] > 0 ? f[i] - m[i] : -1;
        return f;
    };
    std::printf("\nZorvi against the peers:\n");
    for (const char* peer : {"mpv", "gst-play-1.0"}) {
        const std::string p = peer;
        PrintRatio(("start to first picture / " + p).c_str(), fig("Zorvi", &Start::pictureMs),
                   fig(peer, &Start::pictureMs));
        // gst-play-1.0 maps its window with the first picture.
        if (p == "mpv")
            PrintRatio("window mapped to first picture / mpv", mappedToPicture("Zorvi"), mappedToPicture(peer));
        PrintRatio(("peak memory while playing / " + p).c_str(), fig("Zorvi", &Start::peakMb),
                   fig(peer, &Start::peakMb));
        PrintRatio(("CPU while playing / " + p).c_str(), fig("Zorvi", &Start::cpuPerSecond),
                   fig(peer, &Start::cpuPerSecond));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    std::string zorvi, clip, bigList, bigFolder, dvd, only;
    int rounds = 7, playSeconds = 3, settleSeconds = 3;
    bool newHomePath = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i], v = argv[i + 1];
        if (a == "--zorvi") zorvi = v;
        else if (a == "--clip") clip = v;
        else if (a == "--rounds") rounds = std::max(1, std::atoi(v.c_str()));
        else if (a == "--play-seconds") playSeconds = std::clamp(std::atoi(v.c_str()), 0, 4);
        else if (a == "--settle-seconds") settleSeconds = std::clamp(std::atoi(v.c_str()), 0, 4);
        else if (a == "--dvd") dvd = v;
        else if (a == "--only") only = v;
        else if (a == "--big-list") bigList = v;
        else if (a == "--big-folder") bigFolder = v;
        else if (a == "--new-home-path") newHomePath = v != "0";
    }
#ifdef ZO_ZORVI_PATH
    if (zorvi.empty()) zorvi = ZO_ZORVI_PATH;
#endif
#ifdef ZO_FIXTURE_DIR
    if (clip.empty()) clip = ZO_FIXTURE_DIR "/bench720.mp4";
    if (dvd.empty() && fs::exists(ZO_FIXTURE_DIR "/dvd_titles/VIDEO_TS")) dvd = ZO_FIXTURE_DIR "/dvd_titles";
#endif
    if (zorvi.empty() || clip.empty() || !fs::exists(clip)) {
        std::fprintf(stderr, "usage: bench_startup --zorvi PATH --clip FILE [--rounds N] [--play-seconds S] "
                             "[--settle-seconds S] [--dvd FOLDER] [--only file|cue|dvd] [--big-list FILE] "
                             "[--big-folder DIR] [--new-home-path 1]\n");
        return 2;
    }
    auto wanted = [&](const char* name) { return only.empty() || only == name; };

    char workPattern[] = "/tmp/zo-bench-gst.XXXXXX";
    const fs::path work = mkdtemp(workPattern);
    g_gstCache = (work / "registry.bin").string();
    if (!newHomePath) g_homePath = work / "home";
    Display display;
    const pid_t sessionBus = StartSessionBus();
    const Player gstPlay{"gst-play-1.0",
                         {"gst-play-1.0", "--no-interactive", "-q", "--videosink=ximagesink", "--audiosink=fakesink"}};
    std::printf("%d interleaved rounds, medians, %s\n", rounds,
                newHomePath ? "a new HOME path for every start" : "one HOME path made anew for every start");

    if (wanted("file")) {
        const std::vector<Player> players = InstalledOnly({
            {"Zorvi", {zorvi}},
            {"mpv", {"mpv", "--no-config", "--vo=x11", "--ao=null", "--no-terminal"}},
            gstPlay,
        });
        auto starts = RunRounds(display, players, std::vector<std::vector<std::string>>(players.size(), {clip}),
                                {Wait::kPicture, settleSeconds, playSeconds, {}}, rounds);
        std::printf("\nclip %s; CPU over %d s of playback from %d s after the first picture\n", clip.c_str(),
                    playSeconds, settleSeconds);
        PrintFileCase(players, starts);
    }

    if (wanted("cue")) {
        const std::string cue = WriteCueImage(work, 20);
        const std::string fifo = (work / "sound.fifo").string();
        mkfifo(fifo.c_str(), 0600);
        const std::string sink = "filesink location=" + fifo;
        const std::vector<Player> players = InstalledOnly({
            {"Zorvi", {zorvi, "/cd"}, {{"ZORAVEL_AUDIO_SINK", sink}}},
            {"gst-play-1.0", {"gst-play-1.0", "--no-interactive", "-q", "--audiosink=" + sink}},
        });
        std::vector<std::vector<std::string>> media;
        for (const Player& p : players) media.push_back({p.name == "Zorvi" ? cue : (work / "disc.wav").string()});
        auto starts = RunRounds(display, players, media, {Wait::kSound, 0, 0, fifo}, rounds);
        std::printf("\ncue image (Zorvi /cd disc.cue; gst-play-1.0 on its WAVE file), start to first sound, ms:\n");
        for (const Player& p : players)
            std::printf("  %-14s %8.1f\n", p.name.c_str(), Median(Column(starts[p.name], &Start::soundMs)));
        PrintRatio("first sound / gst-play-1.0", Column(starts["Zorvi"], &Start::soundMs),
                   Column(starts["gst-play-1.0"], &Start::soundMs));
    }

    if (wanted("dvd") && !dvd.empty()) {
        const std::vector<Player> players = InstalledOnly({{"Zorvi", {zorvi, "/dvd"}}, gstPlay});
        std::vector<std::vector<std::string>> media;
        for (const Player& p : players) media.push_back({p.name == "Zorvi" ? dvd : "dvd://" + dvd});
        auto starts = RunRounds(display, players, media, {Wait::kPicture, 0, 0, {}}, rounds);
        std::printf("\nDVD %s, start to window mapped and to first picture, ms:\n", dvd.c_str());
        for (const Player& p : players)
            std::printf("  %-14s %8.1f %8.1f\n", p.name.c_str(), Median(Column(starts[p.name], &Start::mappedMs)),
                        Median(Column(starts[p.name], &Start::pictureMs)));
        PrintRatio("first picture / gst-play-1.0", Column(starts["Zorvi"], &Start::pictureMs),
                   Column(starts["gst-play-1.0"], &Start::pictureMs));
    }

    if (!bigList.empty() || !bigFolder.empty()) {
        const Player zorviPlayer{"Zorvi", {zorvi}};
        const Player mpvWindow{"mpv", {"mpv", "--no-config", "--vo=x11", "--ao=null", "--no-terminal",
                                       "--force-window=immediate"}};
        const bool withMpv = Installed("mpv");
        std::vector<std::pair<std::string, std::vector<std::string>>> cases = {{"empty window", {}}};
        if (!bigList.empty()) cases.push_back({"big list", {bigList}});
        if (!bigFolder.empty()) cases.push_back({"big folder", {bigFolder}});
        std::map<std::string, std::vector<double>> ours, mpv;
        const Timing mapOnly{Wait::kWindow, 0, 0, {}};
        for (int r = 0; r < rounds; ++r)
            for (const auto& [name, media] : cases) {
                ours[name].push_back(RunOnce(display, zorviPlayer, media, mapOnly).mappedMs);
                if (!media.empty() && withMpv)
                    mpv[name].push_back(RunOnce(display, mpvWindow, media, mapOnly).mappedMs);
            }
        std::printf("\nfirst window (ms, medians):\n");
        const double empty = Median(ours["empty window"]);
        for (const auto& [name, media] : cases) {
            const double o = Median(ours[name]);
            std::printf("  %-14s Zorvi %8.1f", name.c_str(), o);
            if (!media.empty() && withMpv)
                std::printf("   mpv %8.1f   Zorvi / empty window %.2fx", Median(mpv[name]), o / empty);
            std::printf("\n");
        }
    }
    if (sessionBus > 0) {
        kill(sessionBus, SIGTERM);
        waitpid(sessionBus, nullptr, 0);
    }
    fs::remove_all(work);
    return 0;
}

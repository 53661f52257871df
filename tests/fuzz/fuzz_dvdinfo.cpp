// A DVD-Video volume's IFO files as the disc check reads them: the input
// cut into the volume manager's IFO and the first title set's (a two-byte
// big-endian length, then the two files), written into a VIDEO_TS folder and
// walked as the check's own process walks it: DiscInfo, every title set
// through libdvdread, the navigation's first play, titles, program chains
// and menus through libdvdnav (there are no VOB files, so every entry ends
// in a read error once its commands have run).
//
// libdvdread and libdvdnav are not ours and are not instrumented; their own
// crashes and endless loops on such input are what the check's process is
// there for. This target is for our code around them: run it with libFuzzer's
// -fork=N -ignore_crashes=1 -ignore_timeouts=1 and sort the findings by the
// frame they end in.
#include "platform/dvd/probe_walk.h"

#include <QByteArray>
#include <QFile>

#include <cstdint>
#include <cstdlib>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string VolumeFolder()
{
    static const std::string folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_dvdinfo.XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        const std::string videoTs = pattern + "/VIDEO_TS";
        if (mkdir(videoTs.c_str(), 0700) != 0) std::abort();
        return pattern;
    }();
    return folder;
}

bool Write(const std::string& path, const uint8_t* data, size_t size)
{
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return f.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size > 256 * 1024) return 0;
    const size_t vmg = std::min<size_t>(size - 2, size_t(data[0]) << 8 | data[1]);
    const std::string folder = VolumeFolder();
    if (!Write(folder + "/VIDEO_TS/VIDEO_TS.IFO", data + 2, vmg) ||
        !Write(folder + "/VIDEO_TS/VTS_01_0.IFO", data + 2 + vmg, size - 2 - vmg))
        std::abort();
    // A small budget: the walk's steps here are command runs, not blocks.
    dvd::WalkBudget budget;
    budget.stepsPerEntry = 200;
    budget.totalSteps = 2000;
    (void)dvd::WalkVolume(QString::fromStdString(folder), budget);
    return 0;
}

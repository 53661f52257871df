#include "platform/dvd/probe.h"

#include "platform/dvd/discinfo.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QSet>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>

namespace dvd {

namespace {

constexpr char kProbeProgram[] = "ZorviDvdProbe";
// IFO files are a few hundred KB at most; a bigger one is hashed by its head.
constexpr qint64 kIfoHashLimit = 8 << 20;
constexpr qint64 kSector = 2048;

struct Verdicts {
    std::mutex mutex;
    std::condition_variable walked;
    QHash<QByteArray, ProbeVerdict> kept;
    QSet<QByteArray> walking;   // the discs whose walk runs
    int timeLimit = 10000;
    QString program;
    qint64 lastMilliseconds = 0;
};

Verdicts& State()
{
    static Verdicts verdicts;
    return verdicts;
}

// The walk lies beside the program that runs (Zorvi, or a test).
QString DefaultProbeProgram()
{
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    return QFileInfo(self.canonicalFilePath()).absolutePath() + QLatin1Char('/') + QLatin1String(kProbeProgram);
}

void AddBytes(QCryptographicHash* hash, QFile* file, qint64 offset, qint64 length)
{
    if (!file->seek(offset)) return;
    hash->addData(file->read(length));
}

// The folder libdvdread reads: VIDEO_TS inside the volume, in any case.
QString VideoTsFolder(const QString& volume)
{
    const QDir dir(volume);
    for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (name.compare(QLatin1String("VIDEO_TS"), Qt::CaseInsensitive) == 0) return dir.filePath(name);
    return volume;
}

// False when the walk could not be started.
bool RunWalk(const QString& program, const QString& path, ProbeVerdict* verdict, int timeLimit)
{
    QProcess walk;
    walk.setProgram(program);
    walk.setArguments({path});
    walk.setStandardInputFile(QProcess::nullDevice());
    walk.setStandardOutputFile(QProcess::nullDevice());
    walk.setStandardErrorFile(QProcess::nullDevice());
    walk.start();
    if (!walk.waitForStarted(timeLimit)) {
        // Without the walk nothing can be checked; the disc plays as it would
        // have before the check existed.
        *verdict = ProbeVerdict::Playable;
        return false;
    }
    if (!walk.waitForFinished(timeLimit)) {
        walk.kill();
        walk.waitForFinished(-1);
        *verdict = ProbeVerdict::Refused;
        return true;
    }
    if (walk.exitStatus() != QProcess::NormalExit) {
        *verdict = ProbeVerdict::Refused;
        return true;
    }
    switch (walk.exitCode()) {
    case 0: *verdict = ProbeVerdict::Playable; break;
    case 2: *verdict = ProbeVerdict::NotDvd; break;
    default: *verdict = ProbeVerdict::Refused; break;
    }
    return true;
}

}  // namespace

QByteArray ProbeKey(const QString& path)
{
    QCryptographicHash hash(QCryptographicHash::Md5);
    const QString volume = VolumePath(path);
    const QFileInfo info(volume);
    if (info.isDir()) {
        const QDir folder(VideoTsFolder(volume));
        const QFileInfoList files = folder.entryInfoList(QDir::Files, QDir::Name);
        if (files.isEmpty()) return {};
        for (const QFileInfo& file : files) {
            hash.addData(QFile::encodeName(file.fileName()));
            hash.addData(QByteArray::number(file.size()));
            const QString suffix = file.suffix().toUpper();
            if (suffix != QLatin1String("IFO") && suffix != QLatin1String("BUP")) continue;
            // Opened without waiting for a FIFO's writer, and read only when regular.
            const int fd = ::open(QFile::encodeName(file.filePath()).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0) continue;
            struct stat st;
            QFile f;
            if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
                AddBytes(&hash, &f, 0, kIfoHashLimit);
            else
                ::close(fd);
        }
        return hash.result();
    }
    // An image or a drive: the volume descriptors (from sector 16) and the
    // UDF anchor (sector 256) tell one disc from another.
    // Only what can hold a volume is read: a FIFO would block the open.
    struct stat st;
    if (stat(QFile::encodeName(volume).constData(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISBLK(st.st_mode)))
        return {};
    QFile f(volume);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return {};
    hash.addData(QByteArray::number(f.size()));
    AddBytes(&hash, &f, 16 * kSector, 32 * kSector);
    AddBytes(&hash, &f, 256 * kSector, kSector);
    return hash.result();
}

ProbeVerdict ProbeVolume(const QString& path)
{
    Verdicts& state = State();
    const QByteArray key = ProbeKey(path);
    std::unique_lock<std::mutex> lock(state.mutex);
    if (!key.isEmpty()) {
        // A walk of this disc that runs already gives its verdict: the disc
        // is not walked twice at once.
        state.walked.wait(lock, [&] { return !state.walking.contains(key); });
        const auto kept = state.kept.constFind(key);
        if (kept != state.kept.cend()) {
            state.lastMilliseconds = 0;
            return *kept;
        }
        state.walking.insert(key);
    }
    const int timeLimit = state.timeLimit;
    const QString program = state.program.isEmpty() ? DefaultProbeProgram() : state.program;
    lock.unlock();
    QElapsedTimer timer;
    timer.start();
    ProbeVerdict verdict = ProbeVerdict::Refused;
    const bool walked = RunWalk(program, path, &verdict, timeLimit);
    lock.lock();
    state.lastMilliseconds = timer.elapsed();
    if (!key.isEmpty()) {
        if (walked) state.kept.insert(key, verdict);
        state.walking.remove(key);
        state.walked.notify_all();
    }
    return verdict;
}

ProbeAhead::ProbeAhead(const QString& path) : thread_([path] { ProbeVolume(path); }) {}

ProbeAhead::~ProbeAhead()
{
    if (thread_.joinable()) thread_.join();
}

HRESULT ProbeBeforePlay(const QString& path)
{
    switch (ProbeVolume(path)) {
    case ProbeVerdict::Playable: return S_OK;
    case ProbeVerdict::NotDvd: return E_INVALIDARG;
    case ProbeVerdict::Refused: break;
    }
    return E_FAIL;
}

void SetProbeProgram(const QString& path)
{
    std::lock_guard<std::mutex> lock(State().mutex);
    State().program = path;
}

void SetProbeTimeLimit(int milliseconds)
{
    std::lock_guard<std::mutex> lock(State().mutex);
    State().timeLimit = milliseconds;
}

void ForgetProbeVerdicts()
{
    std::lock_guard<std::mutex> lock(State().mutex);
    State().kept.clear();
}

qint64 LastProbeMilliseconds()
{
    std::lock_guard<std::mutex> lock(State().mutex);
    return State().lastMilliseconds;
}

}  // namespace dvd

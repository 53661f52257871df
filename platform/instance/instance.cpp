#include "platform/instance/instance.h"

#include "platform/forms/forms.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QtEndian>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <vector>

namespace instance {

namespace {

// Records larger than this are not a command line; the connection is dropped.
constexpr quint32 kMaxRecord = 64u * 1024u * 1024u;
constexpr int kHeaderSize = 12;   // int64 dwData, uint32 length (little-endian)
constexpr int kAnswerSize = 8;    // int64 result

// Checks that a folder is ours alone: a real folder owned by this user, with
// no access for others (tightened when it is ours but too open).
bool SecureFolder(const QByteArray& path, bool followLinks)
{
    struct stat st;
    const int rc = followLinks ? stat(path.constData(), &st) : lstat(path.constData(), &st);
    if (rc != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return false;
    if ((st.st_mode & 077) != 0 && chmod(path.constData(), 0700) != 0) return false;
    return true;
}

// A name as a file name: letters, digits, "_" and "-" stay, every other byte
// of its UTF-8 form becomes %XX (so "." separates only our own fields).
QString FileSafe(const QString& name)
{
    if (name.isEmpty()) return QStringLiteral("%");
    const QByteArray utf8 = name.toUtf8();
    QString out;
    for (const char ch : utf8) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-')
            out += QLatin1Char(ch);
        else
            out += QLatin1Char('%') + QString::number(c, 16).rightJustified(2, QLatin1Char('0')).toUpper();
    }
    return out;
}

int RetryFlock(int fd, int operation)
{
    int rc;
    do rc = flock(fd, operation);
    while (rc != 0 && errno == EINTR);
    return rc;
}

// A short exclusive lock that makes "is a handle open?" and "take a handle"
// one step against other processes doing the same.
class Guard {
public:
    explicit Guard(const QByteArray& path)
        : fd_(open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600))
    {
        if (fd_ >= 0 && RetryFlock(fd_, LOCK_EX) != 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~Guard()
    {
        if (fd_ >= 0) close(fd_);
    }
    bool Held() const { return fd_ >= 0; }

private:
    int fd_;
};

QByteArray MutexBase(const QString& name)
{
    const QString folder = RuntimeFolder();
    if (folder.isEmpty()) return QByteArray();
    return QFile::encodeName(folder + FileSafe(name) + QStringLiteral(".mutex"));
}

std::atomic<int> g_serverCounter{0};

bool FillAddress(const QByteArray& path, sockaddr_un* address)
{
    std::memset(address, 0, sizeof(*address));
    address->sun_family = AF_UNIX;
    if (path.size() >= static_cast<qsizetype>(sizeof(address->sun_path))) return false;
    std::memcpy(address->sun_path, path.constData(), static_cast<size_t>(path.size()));
    return true;
}

// Start of a process in seconds since the epoch, from /proc; -1 when unknown.
double ProcessStartTime(pid_t pid)
{
    QFile statFile(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!statFile.open(QIODevice::ReadOnly)) return -1;
    const QByteArray stat = statFile.readAll();
    const qsizetype nameEnd = stat.lastIndexOf(')');
    if (nameEnd < 0) return -1;
    // Fields after the command name start at field 3; the start time is field 22.
    const QList<QByteArray> fields = stat.mid(nameEnd + 2).split(' ');
    if (fields.size() < 20) return -1;
    bool ok = false;
    const qulonglong ticks = fields.at(19).toULongLong(&ok);
    if (!ok) return -1;
    QFile bootFile(QStringLiteral("/proc/stat"));
    if (!bootFile.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : bootFile.readAll().split('\n')) {
        if (!line.startsWith("btime ")) continue;
        const qulonglong boot = line.mid(6).trimmed().toULongLong(&ok);
        const long hz = sysconf(_SC_CLK_TCK);
        if (!ok || hz <= 0) return -1;
        return static_cast<double>(boot) + static_cast<double>(ticks) / static_cast<double>(hz);
    }
    return -1;
}

// Whether the process that made a socket at `madeAt` has ended: the pid is
// gone, or it now names a process started after the socket was made.
bool SocketOwnerEnded(pid_t pid, double madeAt)
{
    if (kill(pid, 0) != 0 && errno == ESRCH) return true;
    const double started = ProcessStartTime(pid);
    return started > 0 && started > madeAt + 2;
}

bool WriteAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool ReadAll(int fd, char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = recv(fd, data, size, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

QString RuntimeFolder()
{
    QByteArray folder = qgetenv("ZORAVEL_RUNTIME_DIR");
    if (!folder.isEmpty()) {
        QDir().mkpath(QFile::decodeName(folder));
        if (!SecureFolder(folder, true)) return QString();
    } else {
        const QByteArray xdg = qgetenv("XDG_RUNTIME_DIR");
        if (xdg.startsWith('/') && SecureFolder(xdg, true)) {
            folder = xdg + "/Zoravel";
            mkdir(folder.constData(), 0700);
            if (!SecureFolder(folder, false)) return QString();
        } else {
            // A shared /tmp: the folder must be a real one of ours, never a
            // link or a folder someone else put there.
            folder = "/tmp/zoravel-" + QByteArray::number(getuid());
            mkdir(folder.constData(), 0700);
            if (!SecureFolder(folder, false)) return QString();
        }
    }
    QString result = QFile::decodeName(folder);
    if (!result.endsWith(QLatin1Char('/'))) result += QLatin1Char('/');
    return result;
}

// ---------------------------------------------------------------- NamedMutex

std::unique_ptr<NamedMutex> NamedMutex::Create(const QString& name, bool* alreadyExisted)
{
    if (alreadyExisted) *alreadyExisted = false;
    const QByteArray base = MutexBase(name);
    if (base.isEmpty()) return nullptr;
    Guard guard(base + ".guard");
    if (!guard.Held()) return nullptr;
    const int fd = open(base.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return nullptr;
    bool existed;
    if (RetryFlock(fd, LOCK_EX | LOCK_NB) == 0) {
        existed = false;
    } else if (errno == EWOULDBLOCK) {
        existed = true;
    } else {
        close(fd);
        return nullptr;
    }
    // Nobody holds the exclusive lock outside the guard, so this cannot wait.
    if (RetryFlock(fd, LOCK_SH) != 0) {
        close(fd);
        return nullptr;
    }
    if (alreadyExisted) *alreadyExisted = existed;
    return std::unique_ptr<NamedMutex>(new NamedMutex(fd));
}

std::unique_ptr<NamedMutex> NamedMutex::Open(const QString& name)
{
    const QByteArray base = MutexBase(name);
    if (base.isEmpty()) return nullptr;
    Guard guard(base + ".guard");
    if (!guard.Held()) return nullptr;
    const int fd = open(base.constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return nullptr;
    if (RetryFlock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK || RetryFlock(fd, LOCK_SH) != 0) {
        // Nobody holds a handle (or the lock failed): the mutex does not exist.
        close(fd);
        return nullptr;
    }
    return std::unique_ptr<NamedMutex>(new NamedMutex(fd));
}

NamedMutex::~NamedMutex()
{
    if (fd_ >= 0) close(fd_);
}

// --------------------------------------------------------- WindowClassServer

namespace {

struct Connection {
    QLocalSocket* socket = nullptr;
    WPARAM id = 0;
    RecordReader records;
    bool busy = false;       // a record of it is being handled
    bool closed = false;     // the peer went away or was dropped
    bool finished = false;   // senderGone has been reported
};

}  // namespace

struct WindowClassServer::Impl {
    WindowClassServer* owner = nullptr;
    QPointer<TForm> window;
    std::function<void(WPARAM)> senderGone;
    QLocalServer* server = nullptr;
    QString socketPath;
    WPARAM nextId = 1;
    std::map<WPARAM, std::shared_ptr<Connection>> connections;
    // Cleared when the server is destroyed; handlers may destroy it while a
    // record is being handled further up the stack.
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);

    void Accept();
    void Read(const std::shared_ptr<Connection>& c);
    void SchedulePump(const std::shared_ptr<Connection>& c);
    void Pump(std::shared_ptr<Connection> c);
    void Finish(std::shared_ptr<Connection> c);
};

void WindowClassServer::Impl::Accept()
{
    while (QLocalSocket* socket = server->nextPendingConnection()) {
        auto c = std::make_shared<Connection>();
        c->socket = socket;
        c->id = nextId++;
        if (nextId == 0) nextId = 1;
        connections[c->id] = c;
        QObject::connect(socket, &QLocalSocket::readyRead, owner, [this, c] {
            Read(c);
            SchedulePump(c);
        });
        QObject::connect(socket, &QLocalSocket::disconnected, owner, [this, c] {
            Read(c);
            c->closed = true;
            SchedulePump(c);
        });
        QObject::connect(socket, &QLocalSocket::errorOccurred, owner, [this, c](QLocalSocket::LocalSocketError) {
            if (c->socket->state() == QLocalSocket::ConnectedState) return;
            Read(c);
            c->closed = true;
            SchedulePump(c);
        });
        Read(c);
        SchedulePump(c);
    }
}

void WindowClassServer::Impl::Read(const std::shared_ptr<Connection>& c)
{
    if (c->finished) return;
    c->records.Append(c->socket->readAll());
}

// Records are handled from the event loop, never inside the socket's own
// signal, so that a handler may run nested loops or even end the server.
void WindowClassServer::Impl::SchedulePump(const std::shared_ptr<Connection>& c)
{
    QMetaObject::invokeMethod(owner, [this, c] { Pump(c); }, Qt::QueuedConnection);
}

void WindowClassServer::Impl::Pump(std::shared_ptr<Connection> c)
{
    if (c->busy || c->finished) return;
    const std::shared_ptr<bool> stillAlive = alive;
    for (;;) {
        std::intptr_t dwData = 0;
        QByteArray data;
        const RecordReader::Result next = c->records.Next(&dwData, &data);
        if (next == RecordReader::Result::Broken) {
            c->closed = true;
            c->socket->abort();
            break;
        }
        if (next == RecordReader::Result::More) break;
        const auto length = static_cast<DWORD>(data.size());
        LRESULT result = 0;
        if (window) {
            COPYDATASTRUCT record{dwData, length, data.constData()};
            c->busy = true;
            result = window->SendMessage(WM_COPYDATA, c->id, reinterpret_cast<LPARAM>(&record));
            if (!*stillAlive) return;
            c->busy = false;
        }
        if (!c->closed && c->socket->state() == QLocalSocket::ConnectedState) {
            char answer[kAnswerSize];
            qToLittleEndian<qint64>(static_cast<qint64>(result), answer);
            c->socket->write(answer, kAnswerSize);
            c->socket->flush();
        }
    }
    if (c->closed) Finish(c);
}

void WindowClassServer::Impl::Finish(std::shared_ptr<Connection> c)
{
    if (c->finished) return;
    c->finished = true;
    connections.erase(c->id);
    QObject::disconnect(c->socket, nullptr, owner, nullptr);
    c->socket->deleteLater();
    if (senderGone) senderGone(c->id);
}

WindowClassServer::WindowClassServer(TForm* window, const QString& className,
                                     std::function<void(WPARAM)> senderGone)
    : d(std::make_unique<Impl>())
{
    d->owner = this;
    d->window = window;
    d->senderGone = std::move(senderGone);
    const QString folder = RuntimeFolder();
    if (folder.isEmpty()) return;
    d->socketPath = folder + FileSafe(className) + QStringLiteral(".%1.%2").arg(getpid()).arg(++g_serverCounter);
    // A file of this name can only be left by an ended process that had our pid.
    QLocalServer::removeServer(d->socketPath);
    d->server = new QLocalServer(this);
    connect(d->server, &QLocalServer::newConnection, this, [this] { d->Accept(); });
    if (!d->server->listen(d->socketPath)) {
        delete d->server;
        d->server = nullptr;
    }
}

WindowClassServer::~WindowClassServer()
{
    *d->alive = false;
    for (const auto& entry : d->connections) QObject::disconnect(entry.second->socket, nullptr, this, nullptr);
    d->connections.clear();
    if (d->server) {
        d->server->close();
        QFile::remove(d->socketPath);
        delete d->server;   // and with it every open connection
        d->server = nullptr;
    }
}

bool WindowClassServer::IsListening() const { return d->server && d->server->isListening(); }

QString WindowClassServer::SocketPath() const { return IsListening() ? d->socketPath : QString(); }

// ---------------------------------------------------------- WindowConnection

struct WindowConnection::Impl {
    int fd = -1;
};

std::unique_ptr<WindowConnection> WindowConnection::Find(const QString& className)
{
    const QString folder = RuntimeFolder();
    if (folder.isEmpty()) return nullptr;
    const QByteArray folderBytes = QFile::encodeName(folder);
    const QByteArray prefix = QFile::encodeName(FileSafe(className)) + '.';

    struct Candidate {
        QByteArray path;
        pid_t pid;
        long n;
        double madeAt;
    };
    std::vector<Candidate> candidates;
    if (DIR* dir = opendir(folderBytes.constData())) {
        while (dirent* entry = readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (!name.startsWith(prefix)) continue;
            const QList<QByteArray> fields = name.mid(prefix.size()).split('.');
            if (fields.size() != 2) continue;
            bool pidOk = false;
            bool nOk = false;
            const long pid = fields[0].toLong(&pidOk);
            const long n = fields[1].toLong(&nOk);
            if (!pidOk || !nOk || pid <= 0 || fields[0].startsWith('+') || fields[1].startsWith('+')) continue;
            const QByteArray path = folderBytes + name;
            struct stat st;
            if (lstat(path.constData(), &st) != 0 || !S_ISSOCK(st.st_mode)) continue;
            const double madeAt = static_cast<double>(st.st_mtim.tv_sec) + st.st_mtim.tv_nsec / 1e9;
            candidates.push_back({path, static_cast<pid_t>(pid), n, madeAt});
        }
        closedir(dir);
    }
    // Newest first; within one process the later window first.
    std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        if (a.madeAt != b.madeAt) return a.madeAt > b.madeAt;
        if (a.pid != b.pid) return a.pid > b.pid;
        return a.n > b.n;
    });

    for (const Candidate& candidate : candidates) {
        sockaddr_un address;
        if (!FillAddress(candidate.path, &address)) continue;
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return nullptr;
        int rc;
        do rc = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        while (rc != 0 && errno == EINTR);
        if (rc == 0) {
            std::unique_ptr<WindowConnection> connection(new WindowConnection);
            connection->d = std::make_unique<Impl>();
            connection->d->fd = fd;
            return connection;
        }
        const int error = errno;
        close(fd);
        if (error == ECONNREFUSED && SocketOwnerEnded(candidate.pid, candidate.madeAt))
            unlink(candidate.path.constData());
    }
    return nullptr;
}

WindowConnection::~WindowConnection()
{
    if (d && d->fd >= 0) close(d->fd);
}

bool WindowConnection::SendCopyData(std::intptr_t dwData, const QByteArray& data, LRESULT* result)
{
    if (!d || d->fd < 0) return false;
    if (static_cast<quint64>(data.size()) > kMaxRecord) return false;
    const QByteArray record = EncodeRecord(dwData, data);
    char answer[kAnswerSize];
    if (!WriteAll(d->fd, record.constData(), static_cast<size_t>(record.size())) ||
        !ReadAll(d->fd, answer, kAnswerSize)) {
        close(d->fd);
        d->fd = -1;
        return false;
    }
    if (result) *result = static_cast<LRESULT>(qFromLittleEndian<qint64>(answer));
    return true;
}

// ------------------------------------------------------------------ records

QByteArray EncodeRecord(std::intptr_t dwData, const QByteArray& data)
{
    QByteArray record(kHeaderSize, '\0');
    qToLittleEndian<qint64>(static_cast<qint64>(dwData), record.data());
    qToLittleEndian<quint32>(static_cast<quint32>(data.size()), record.data() + 8);
    record += data;
    return record;
}

void RecordReader::Append(const QByteArray& bytes)
{
    if (broken_ || bytes.isEmpty()) return;
    // What was taken goes before the buffer grows, so a stream of many small
    // records costs no more than its bytes.
    if (start_ > 0 && start_ >= buffer_.size() / 2) {
        buffer_.remove(0, start_);
        start_ = 0;
    }
    buffer_ += bytes;
}

RecordReader::Result RecordReader::Next(std::intptr_t* dwData, QByteArray* data)
{
    if (broken_) return Result::Broken;
    const qsizetype available = buffer_.size() - start_;
    if (available < kHeaderSize) return Result::More;
    const auto* header = reinterpret_cast<const unsigned char*>(buffer_.constData() + start_);
    const quint32 length = qFromLittleEndian<quint32>(header + 8);
    if (length > kMaxRecord) {
        broken_ = true;
        buffer_.clear();
        start_ = 0;
        return Result::Broken;
    }
    if (available - kHeaderSize < static_cast<qsizetype>(length)) return Result::More;
    *dwData = static_cast<std::intptr_t>(qFromLittleEndian<qint64>(header));
    *data = buffer_.mid(start_ + kHeaderSize, length);
    start_ += kHeaderSize + static_cast<qsizetype>(length);
    if (start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    }
    return Result::Record;
}

}  // namespace instance

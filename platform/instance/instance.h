// One running window per user: a named mutex that tells a second start that
// a first one runs, the running window found by its class name, and the
// hand-over of the second start's arguments as WM_COPYDATA records, in order,
// each answered before the next is sent.
//
// The mutex is a lock file; a process holding a handle holds a shared lock on
// it, so the mutex exists while any handle is open. A window registered under
// a class name listens on a local socket; a sender connects to it.
// Both live in $XDG_RUNTIME_DIR/Zoravel/ (or /tmp/zoravel-<uid>/), overridden
// by ZORAVEL_RUNTIME_DIR.
#pragma once

#include "platform/wintypes.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class TForm;
class QLocalServer;

namespace instance {

// The per-user folder of lock files and window sockets, with a trailing "/",
// created with mode 0700 on first use; empty when it cannot be made safely.
QString RuntimeFolder();

class NamedMutex {
public:
    // Creates or opens the named mutex. *alreadyExisted is set when another
    // handle to it was open at the time of the call (ERROR_ALREADY_EXISTS).
    static std::unique_ptr<NamedMutex> Create(const QString& name, bool* alreadyExisted);
    // Opens the mutex; null when no handle to it is open anywhere.
    static std::unique_ptr<NamedMutex> Open(const QString& name);
    ~NamedMutex();   // closes the handle
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

private:
    explicit NamedMutex(int fd) : fd_(fd) {}
    int fd_;
};

// Registers `window` as a top-level window of `className`: WM_COPYDATA records
// sent to it arrive through window->SendMessage(WM_COPYDATA, sender, &data),
// where sender is a non-zero number naming the connection. When a sender's
// connection closes, `senderGone` is called with its number.
//
// Create it on the window's thread. Records of one connection are delivered
// one at a time and in order, each answered with the handler's result only
// after the handler has returned; a handler may run a nested event loop, in
// which records of other connections can arrive. `senderGone` comes after the
// connection's last record has been handled. Destroying the server removes
// its socket and calls nothing more.
class WindowClassServer : public QObject {
    Q_OBJECT
public:
    WindowClassServer(TForm* window, const QString& className, std::function<void(WPARAM)> senderGone);
    ~WindowClassServer() override;
    bool IsListening() const;
    // Path of the listening socket (<runtime>/<class>.<pid>.<n>).
    QString SocketPath() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The sender's side: a connection to the running window of a class.
class WindowConnection {
public:
    // Finds the most recently created running window of the class; null when
    // there is none. Sockets left behind by ended processes are removed.
    static std::unique_ptr<WindowConnection> Find(const QString& className);
    ~WindowConnection();
    // Sends one record and waits (without a time limit, as a synchronous
    // send does) until the window has handled it. Returns false when the
    // connection broke; the connection is then unusable.
    bool SendCopyData(std::intptr_t dwData, const QByteArray& data, LRESULT* result = nullptr);

private:
    WindowConnection() = default;
    struct Impl;
    std::unique_ptr<Impl> d;
};

// A record as it travels: a header of 12 bytes (dwData as a 64-bit and the
// length as a 32-bit little-endian number), then the data.
QByteArray EncodeRecord(std::intptr_t dwData, const QByteArray& data);

// The records of one connection, taken from the bytes as they arrive in
// pieces of any size. A header announcing more than a command line can hold
// (64 MiB) breaks the stream: nothing more is read from it.
class RecordReader {
public:
    enum class Result { Record, More, Broken };
    void Append(const QByteArray& bytes);
    // The next whole record; More until it has come whole.
    Result Next(std::intptr_t* dwData, QByteArray* data);
    bool Broken() const { return broken_; }

private:
    QByteArray buffer_;
    qsizetype start_ = 0;   // the first byte not yet taken
    bool broken_ = false;
};

}  // namespace instance

// A CD-database server inside the test process, on 127.0.0.1 with an
// ephemeral port: it records the bytes of each request and answers each
// connection with the next scripted reply. It plays the HTTP proxy too,
// since a proxy request is just another request to it.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct FakeReply {
    std::vector<std::string> pieces;   // sent in order, then the connection closes
    int pauseMs = 0;                   // between two pieces
    bool silent = false;               // sends nothing and waits until the client gives up
};

class FakeCddbServer {
public:
    FakeCddbServer();
    ~FakeCddbServer();
    FakeCddbServer(const FakeCddbServer&) = delete;
    FakeCddbServer& operator=(const FakeCddbServer&) = delete;

    int Port() const { return port_; }
    void Answer(FakeReply reply);
    // The whole text at once.
    void Answer(const std::string& whole) { Answer(FakeReply{{whole}}); }
    std::vector<std::string> Requests() const;

private:
    void Run();
    void Serve(int fd);
    bool WaitStop(int ms);   // true when the server is being stopped

    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    int port_ = 0;
    mutable std::mutex mu_;
    std::deque<FakeReply> script_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

// An HTTP reply carrying body.
std::string HttpReply(const std::string& body);
// A port on 127.0.0.1 where nothing listens.
int ClosedPort();

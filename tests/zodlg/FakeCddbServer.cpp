#include "FakeCddbServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int BoundSocket(int* port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    *port = ntohs(a.sin_port);
    return fd;
}

}  // namespace

std::string HttpReply(const std::string& body)
{
    return "HTTP/1.0 200 OK\r\nContent-Type: text/plain; charset=UTF-8\r\n\r\n" + body;
}

int ClosedPort()
{
    int port = 0;
    close(BoundSocket(&port));
    return port;
}

FakeCddbServer::FakeCddbServer()
{
    listenFd_ = BoundSocket(&port_);
    listen(listenFd_, 8);
    if (pipe(stopPipe_) != 0) stopPipe_[0] = stopPipe_[1] = -1;
    thread_ = std::thread([this] { Run(); });
}

FakeCddbServer::~FakeCddbServer()
{
    if (write(stopPipe_[1], "x", 1) != 1) {}
    thread_.join();
    close(listenFd_);
    close(stopPipe_[0]);
    close(stopPipe_[1]);
}

void FakeCddbServer::Answer(FakeReply reply)
{
    std::lock_guard lock(mu_);
    script_.push_back(std::move(reply));
}

std::vector<std::string> FakeCddbServer::Requests() const
{
    std::lock_guard lock(mu_);
    return requests_;
}

bool FakeCddbServer::WaitStop(int ms)
{
    pollfd p{stopPipe_[0], POLLIN, 0};
    return poll(&p, 1, ms) > 0;
}

void FakeCddbServer::Run()
{
    for (;;) {
        pollfd p[2] = {{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (poll(p, 2, -1) < 0) continue;
        if (p[1].revents) return;
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        Serve(fd);
        close(fd);
    }
}

void FakeCddbServer::Serve(int fd)
{
    std::string request;
    char buf[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        pollfd p[2] = {{fd, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (poll(p, 2, 5000) <= 0 || p[1].revents) return;
        const ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        request.append(buf, static_cast<size_t>(n));
    }
    FakeReply reply;
    {
        std::lock_guard lock(mu_);
        requests_.push_back(request);
        if (script_.empty()) return;
        reply = std::move(script_.front());
        script_.pop_front();
    }
    if (reply.silent) {
        // Until the client closes its end (or the test ends).
        for (;;) {
            pollfd p[2] = {{fd, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
            if (poll(p, 2, -1) < 0) continue;
            if (p[1].revents || recv(fd, buf, sizeof buf, 0) <= 0) return;
        }
    }
    for (size_t i = 0; i < reply.pieces.size(); ++i) {
        if (i > 0 && reply.pauseMs > 0 && WaitStop(reply.pauseMs)) return;
        const std::string& piece = reply.pieces[i];
        size_t sent = 0;
        while (sent < piece.size()) {
            const ssize_t n = send(fd, piece.data() + sent, piece.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return;
            sent += static_cast<size_t>(n);
        }
    }
}

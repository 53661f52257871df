// A second process for the single-instance tests; it has no application
// object, as a second start has none when it hands its arguments over.
//
//   hold <mutex>                  take the mutex, print "existed 0|1", hold until stdin ends
//   race <mutex> <barrier file>   the same, once the barrier file exists
//   send <class> (<dwData> <text>)...   send records; "DIE" instead of a pair kills the process
//   big <class> <bytes>           send one record of that many bytes
#include "platform/instance/instance.h"

#include <QByteArray>
#include <QString>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

void Say(const char* format, long long a = 0, long long b = 0)
{
    std::printf(format, a, b);
    std::fflush(stdout);
}

int HoldUntilStdinEnds(const QString& name)
{
    bool existed = false;
    auto mutex = instance::NamedMutex::Create(name, &existed);
    if (!mutex) return 2;
    Say("existed %lld\n", existed ? 1 : 0);
    char buffer[64];
    while (read(0, buffer, sizeof(buffer)) > 0) {
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) return 64;
    const QString mode = QString::fromUtf8(argv[1]);
    const QString name = QString::fromUtf8(argv[2]);
    if (mode == "hold") return HoldUntilStdinEnds(name);
    if (mode == "race" && argc == 4) {
        while (access(argv[3], F_OK) != 0) usleep(500);
        return HoldUntilStdinEnds(name);
    }
    auto connection = instance::WindowConnection::Find(name);
    if (!connection) {
        Say("nowindow\n");
        return 3;
    }
    if (mode == "big" && argc == 4) {
        QByteArray data(std::atoi(argv[3]), '\0');
        for (qsizetype i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
        LRESULT result = 0;
        if (!connection->SendCopyData(-1, data, &result)) return 4;
        Say("answer 1 %lld\n", result);
        return 0;
    }
    if (mode != "send") return 64;
    int index = 0;
    for (int i = 3; i < argc; i += 2) {
        if (std::strcmp(argv[i], "DIE") == 0) raise(SIGKILL);
        if (i + 1 >= argc) return 64;
        ++index;
        QByteArray text(argv[i + 1]);
        text.append('\0');   // the terminating zero travels with the text
        Say("sent %lld\n", index);
        LRESULT result = 0;
        if (!connection->SendCopyData(std::atoll(argv[i]), text, &result)) {
            Say("broken %lld\n", index);
            return 4;
        }
        Say("answer %lld %lld\n", index, result);
    }
    return 0;
}

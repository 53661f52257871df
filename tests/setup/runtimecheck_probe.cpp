// Prints what the check button would say, in a process of its own that has
// not started GStreamer (the tests' own main has), so the runtime's
// environment decides what it finds.
#include "setup/RuntimeCheck.h"

#include <cstdio>

int main()
{
    std::fputs(zoset::RuntimeCheckMessage().toUtf8().constData(), stdout);
    return 0;
}

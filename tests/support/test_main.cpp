#include <gmock/gmock.h>
#include <gst/gst.h>

#include <QApplication>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    // No test reaches the machine's own login manager: a countdown that ran
    // out would switch off the computer that runs the tests. A test that
    // wants a system bus starts its own and names it before first use.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/zoravel-tests-system-bus");
    ::testing::InitGoogleMock(&argc, argv);
    gst_init(nullptr, nullptr);
    int result = 0;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    gst_deinit();
    return result;
}

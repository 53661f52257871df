#include <gmock/gmock.h>
#include <gst/gst.h>

#include <QApplication>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    ::testing::InitGoogleMock(&argc, argv);
    gst_init(nullptr, nullptr);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

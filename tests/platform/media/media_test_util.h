// Shared pieces of the media tests: a shown view panel, a form that records
// the messages posted to it, and quiet sinks.
#pragma once

#include "platform/forms/forms.h"
#include "platform/media/graph.h"
#include "support/test_util.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QWidget>

#include <vector>

namespace mediatest {

constexpr UINT WM_GRAPHNOTIFY = WM_USER + 53;

class RecordingForm : public TForm {
public:
    void WndProc(TMessage& message) override
    {
        if (message.Msg == WM_GRAPHNOTIFY) {
            ++notifications;
            if (drain) {
                long code;
                LPARAM p1, p2;
                while (drain->GetEvent(&code, &p1, &p2, 0) == S_OK) {
                    codes.push_back(code);
                    drain->FreeEventParams(code, p1, p2);
                }
            }
            return;
        }
        TForm::WndProc(message);
    }
    int notifications = 0;
    media::FilterGraph* drain = nullptr;   // drained on each notification
    std::vector<long> codes;
};

// Fixture base: sound goes to a fake sink that keeps time, the picture to our
// painted renderer in a shown panel.
class MediaTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("ZORAVEL_AUDIO_SINK", "fakesink");
        qunsetenv("ZORAVEL_VIDEO_SINK");
        if (!QFileInfo::exists(testutil::Fixture(".complete"))) GTEST_SKIP() << "media fixtures not made";
        panel.resize(320, 240);
        panel.show();
    }
    void TearDown() override { qunsetenv("ZORAVEL_AUDIO_SINK"); }

    static QString F(const char* name) { return testutil::Fixture(QString::fromLatin1(name)); }

    QWidget panel;
};

}  // namespace mediatest

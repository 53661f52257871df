#include "window_test_util.h"

#include "platform/dialogs/dialogs.h"
#include "platform/mixer/fake.h"
#include "platform/realmedia/realmedia.h"

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace mwtest {

namespace {

HKEY OpenMain(bool create)
{
    HKEY key = nullptr;
    if (create) {
        DWORD disposition = 0;
        if (RegCreateKeyEx(HKEY_CURRENT_USER, kMainKey, 0, "", REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                           &disposition) != ERROR_SUCCESS)
            return nullptr;
        return key;
    }
    if (RegOpenKeyEx(HKEY_CURRENT_USER, kMainKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return nullptr;
    return key;
}

}  // namespace

void SetMainDword(const char* name, DWORD value)
{
    HKEY key = OpenMain(true);
    ASSERT_NE(key, nullptr);
    EXPECT_TRUE(RegWriteDword(key, name, value));
    RegCloseKey(key);
}

void SetMainString(const char* name, const QString& text)
{
    HKEY key = OpenMain(true);
    ASSERT_NE(key, nullptr);
    EXPECT_TRUE(RegWriteString(key, name, text));
    RegCloseKey(key);
}

std::optional<DWORD> MainDword(const char* name)
{
    HKEY key = OpenMain(false);
    if (!key) return std::nullopt;
    DWORD type = 0, value = 0, size = sizeof value;
    const LONG status = RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_DWORD) return std::nullopt;
    return value;
}

std::optional<QString> MainString(const char* name)
{
    HKEY key = OpenMain(false);
    if (!key) return std::nullopt;
    QString text;
    const LONG status = RegReadString(key, name, &text, 65536);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return std::nullopt;
    return text;
}

int MainValueCount()
{
    HKEY key = OpenMain(false);
    if (!key) return -1;
    DWORD subKeys = 0, values = 0;
    const LONG status = RegQueryInfoKey(key, &subKeys, &values);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? static_cast<int>(values) : -1;
}

bool FixturesMade() { return QFileInfo::exists(testutil::Fixture(QStringLiteral(".complete"))); }

QString Fixture(const char* name) { return testutil::Fixture(QString::fromLatin1(name)); }

bool MakeDir(const QString& path) { return QDir().mkpath(path); }

bool Link(const QString& target, const QString& link)
{
    QDir().mkpath(QFileInfo(link).absolutePath());
    return QFile::link(target, link);
}

bool CopyWithHead(const QString& source, const QString& target, const QByteArray& head)
{
    QByteArray bytes = testutil::ReadFile(source);
    if (bytes.size() < head.size()) bytes.resize(head.size());
    bytes.replace(0, head.size(), head);
    return testutil::WriteFile(target, bytes);
}

void Spin()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // Returns as soon as nothing is pending (at most 20 ms while events keep coming).
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void CountingMain::WndProc(TMessage& message)
{
    const TMessage taken = message;
    TZoMain::WndProc(message);
    ++taken_[taken.Msg];
    if (taken.Msg == WM_TIMER) ++ticks_[static_cast<UINT>(taken.WParam)];
}

TickCount::TickCount(QTimer* timer)
{
    QObject::connect(timer, &QTimer::timeout, &context_, [this] { ++ticks_; });
}

void WindowTest::SetUp()
{
    // Sound goes to a fake sink that keeps time; the picture to the painted renderer.
    qputenv("ZORAVEL_AUDIO_SINK", "fakesink");
    qunsetenv("ZORAVEL_VIDEO_SINK");
    home = std::make_unique<testutil::IsolatedHome>();
    // A modal box would wait for a user: it is recorded and answered.
    dialogs::SetMessageBoxAnswerer([this](const dialogs::MessageBoxCall& call) {
        messageBoxes << call.caption + ": " + call.text;
        return IDOK;
    });
}

void WindowTest::TearDown()
{
    Close();
    dialogs::SetMessageBoxAnswerer({});
    home.reset();
    qunsetenv("ZORAVEL_AUDIO_SINK");
}

TZoMain* WindowTest::Open(const QStringList& args)
{
    Close();
    w = std::make_unique<CountingMain>(args);
    w->show();
    // The command line is taken after the first paint.
    QElapsedTimer clock;
    clock.start();
    while (w->Probe().StartupIntakePending() && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return w.get();
}

void WindowTest::Close()
{
    w.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

int WindowTest::Taken(UINT msg) const
{
    const auto* counting = dynamic_cast<const CountingMain*>(w.get());
    EXPECT_NE(counting, nullptr) << "the window was not made by Open";
    return counting ? counting->Taken(msg) : -1;
}

int WindowTest::TimerTicks(UINT id) const
{
    const auto* counting = dynamic_cast<const CountingMain*>(w.get());
    EXPECT_NE(counting, nullptr) << "the window was not made by Open";
    return counting ? counting->TimerTicks(id) : -1;
}

QString WindowTest::SilentClip(const QString& name, int milliseconds) const
{
    const quint32 data = 8000u * static_cast<quint32>(milliseconds) / 1000u * 2u;
    QByteArray wav("RIFF");
    auto u32 = [&wav](quint32 v) { for (int i = 0; i < 4; ++i) wav.append(static_cast<char>(v >> (8 * i))); };
    auto u16 = [&wav](quint16 v) { wav.append(static_cast<char>(v)).append(static_cast<char>(v >> 8)); };
    u32(36 + data);
    wav.append("WAVEfmt ");
    u32(16);
    u16(1);       // PCM
    u16(1);       // mono
    u32(8000);    // samples per second
    u32(16000);   // bytes per second
    u16(2);       // bytes per sample
    u16(16);      // bits per sample
    wav.append("data");
    u32(data);
    wav.append(QByteArray(static_cast<qsizetype>(data), '\0'));
    const QString path = Home(name);
    EXPECT_TRUE(testutil::WriteFile(path, wav));
    return path;
}

QStringList WindowTest::Paths() const
{
    QStringList paths;
    for (const TPlayListItem& item : w->PlayList().Items()) paths << item.Path;
    return paths;
}

void WindowTest::Tap(Qt::Key key, Qt::KeyboardModifiers mods)
{
    QWidget* focus = QApplication::focusWidget();
    QWidget* target = focus && focus->window() == w.get() ? focus : w.get();
    QKeyEvent press(QEvent::KeyPress, key, mods);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods);
    QApplication::sendEvent(target, &release);
}

void WindowTest::UseRecordedMixer(std::shared_ptr<MixerWrites>& writes)
{
    w->SetMixerFactory([&writes](CdVolumeControl* cd) {
        auto backend = std::make_unique<mixer::RecordingBackend>();
        backend->elements = {{"Master", 40000}, {"PCM", 30000}};
        writes = backend->writes;
        return std::make_unique<CAudioMixer>(std::move(backend), 0, cd);
    });
}

bool WindowTest::WaitPlaying(int timeoutMs)
{
    return testutil::WaitUntil(
        [this] {
            // A RealMedia clip plays through its control once it has opened.
            if (w->PlayState() == psPlaying && w->HasRealControl())
                return w->RealControl->GetPlayState() == realmedia::kStatePlaying && w->Duration() > 0;
            return w->PlayState() == psPlaying && w->Graph() && w->Graph()->State() == media::GraphState::Running &&
                   !w->Probe().IsGraphStarting();
        },
        timeoutMs);
}

CaptionLog::CaptionLog(TZoMain* window)
{
    QObject::connect(window, &QWidget::windowTitleChanged, &context_, [this](const QString& t) { titles_ << t; });
}

}  // namespace mwtest

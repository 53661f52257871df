#include "support/test_util.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <cstdlib>

namespace testutil {

IsolatedHome::IsolatedHome()
{
    qputenv("ZORAVEL_REGISTRY", dir_.filePath("registry.reg").toUtf8());
    qputenv("ZORAVEL_HOME", dir_.filePath("data").toUtf8());
    qputenv("ZORAVEL_RUNTIME_DIR", dir_.filePath("run").toUtf8());
    qputenv("XDG_CONFIG_HOME", dir_.filePath("config").toUtf8());
}

IsolatedHome::~IsolatedHome()
{
    qunsetenv("ZORAVEL_REGISTRY");
    qunsetenv("ZORAVEL_HOME");
    qunsetenv("ZORAVEL_RUNTIME_DIR");
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return f.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

QString FixtureFolder() { return QString::fromLocal8Bit(qgetenv("ZORAVEL_TEST_FIXTURES")); }

QString Fixture(const QString& name) { return FixtureFolder() + "/" + name; }

double ImageDifference(const QImage& a, const QImage& b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

double ColouredShare(const QImage& image)
{
    int coloured = 0, total = 0;
    for (int y = 4; y < image.height(); y += 8)
        for (int x = 4; x < image.width(); x += 8, ++total) {
            const QRgb p = image.pixel(x, y);
            coloured += std::max({qRed(p), qGreen(p), qBlue(p)}) - std::min({qRed(p), qGreen(p), qBlue(p)}) > 12;
        }
    return total ? double(coloured) / total : 0;
}

}  // namespace testutil

// Helpers shared by the tests.
#pragma once

#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include <functional>

namespace testutil {

// A temporary folder that also becomes the home of the registry file, the
// per-user data folder and the runtime folder for the lifetime of the object.
class IsolatedHome {
public:
    IsolatedHome();
    ~IsolatedHome();
    QString Path() const { return dir_.path(); }
    QString File(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
};

// Writes bytes to a file, creating parent folders.
bool WriteFile(const QString& path, const QByteArray& bytes);
QByteArray ReadFile(const QString& path);

// Runs the event loop until `done` returns true or `timeoutMs` passes.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// Folder of the generated media fixtures (empty when not made).
QString FixtureFolder();
QString Fixture(const QString& name);

// Mean difference of the colour channels of two images of one size.
double ImageDifference(const QImage& a, const QImage& b);
// The share of sampled pixels with colour in them.
double ColouredShare(const QImage& image);

}  // namespace testutil

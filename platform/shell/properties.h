// The properties of a file or folder as the desktop shows them: the file
// manager's properties window when one answers on the session bus, else a
// small window of ours with the name, type, folder, size and time.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace shell {

// 0 when shown, else the error number (ENOENT for a path that is gone).
int ShowPathProperties(QWidget* owner, const QString& path);

// Tests see the calls instead of windows.
using PropertiesShower = std::function<int(const QString& path)>;
void SetPropertiesShower(PropertiesShower shower);

}  // namespace shell

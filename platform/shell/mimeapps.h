// The desktop's default applications per MIME type, in the per-user
// mimeapps.list: reads and changes one line of its [Default Applications]
// group and leaves every other group, line and comment as it stood.
#pragma once

#include <QString>

namespace shell {

// $XDG_CONFIG_HOME/mimeapps.list (~/.config when unset).
QString MimeAppsPath();

// The value of `type`'s line in [Default Applications] of `text`; false when
// the group or the line is missing.
bool FindDefaultApplication(const QString& text, const QString& type, QString* value);
// `text` with `type`'s line set to `value` (added at the end of the group, the
// group added at the end of the text when missing), or, with `value` null,
// without that line.
QString SetDefaultApplication(const QString& text, const QString& type, const QString* value);
// Whether a line's value names `desktopId` as the default (its first entry).
bool NamesDefault(const QString& value, const QString& desktopId);

}  // namespace shell

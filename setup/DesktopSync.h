// The desktop follows the registrations: the mirror's state read from the
// registry, and the defaults it replaced kept in the registry beside them.
#pragma once

#include "platform/shell/desktopmirror.h"

namespace zoset {

// Every extension the registrations handle, in the dialog's order.
QStringList AllExtensions();

// The registrations as they stand, for the tool in `folder`, with the
// player's icons taken from the tool's resources.
shell::MirrorState ReadMirrorState(const QString& folder);

// The replaced defaults under HKEY_CLASSES_ROOT "Zoravel.DesktopDefaults",
// one value per MIME type.
class RegistryKeptDefaults : public shell::KeptDefaults {
public:
    bool Get(const QString& type, QString* text) override;
    void Set(const QString& type, const QString& text) override;
    void Remove(const QString& type) override;
};

}  // namespace zoset

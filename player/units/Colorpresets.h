// The colour keys' presets and value sets: `SetNames` (names in menu order,
// each followed by ";"), the shortcut codes `Color1` to `Color5` under
// `ShortcutKey`, and the overlay value set of a colour key read with its
// defaults and limited to the stage's ranges.
#pragma once

#include "platform/media/graph.h"
#include "platform/wintypes.h"

#include <QString>
#include <QStringList>

#include <array>

inline constexpr int kPresetShortcuts = 5;

// `SetNames` of the colour key `keyPath` (HKEY_CURRENT_USER): empty when the
// key or the value is missing or the value holds fewer than 2 bytes.
QString ReadPresetSetNames(const char* keyPath);
// The names before each ";" in order, empty names left out; text after the
// last ";" is not a name.
QStringList SplitPresetNames(const QString& setNames);
// `Color1` ... `Color5`; 0 (no shortcut) when the key or a value is missing.
std::array<DWORD, kPresetShortcuts> ReadPresetShortcuts();
// A preset is the sub-key of that name: a name that would name a key
// further down ("\") or none at all names no preset.
bool IsPresetName(const QString& name);

// The six overlay values of a colour key (the current key or a preset's
// sub-key), each with its default when not stored and limited to the
// stage's range. False when the key does not open.
bool ReadOverlayValues(const QString& keyPath, media::ColorValues* values);
// Writes the six values to an existing key; false when it does not open.
bool WriteOverlayValues(const char* keyPath, const media::ColorValues& values);

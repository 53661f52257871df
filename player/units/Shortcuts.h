// Shortcut keys of the main window's menu items: the load table of the
// values under `ShortcutKey` with their built-in codes and twin items, the
// code kept on each item, and the matching of a pressed key against a menu.
// Items keep their code in the property "ShortCut" (platform/keys' coding);
// a menu shows it as text after the caption. Qt's own shortcuts are never
// set: Qt fires neither of two items that share a key, and no hidden item.
#pragma once

#include "platform/registry/registry.h"

#include <QString>

#include <span>

class QAction;
class QMenu;
class QObject;

struct TShortcutRow {
    const char* ValueName;   // under `ShortcutKey`
    const char* Item;        // the menu item's object name
    WORD BuiltIn;            // the form's own code
    const char* Twins[3];    // items that take the item's code after it is set
};

// The 60 reads in their order (`FileBrowser` and `ListDialog` twice).
std::span<const TShortcutRow> ShortcutRows();

// The item's code (0 none) and setting it: the code is taken as 16 bits and
// the item's text becomes its caption, a tab and the key's text.
WORD ItemShortCut(const QAction* item);
void SetItemShortCut(QAction* item, DWORD code);
// The item's caption without the key's text.
QString ItemCaption(const QAction* item);
void SetItemCaption(QAction* item, const QString& caption);

// Gives every item of `form` that carries a code its key text (the form's
// built-in codes) and clears any Qt shortcut the items have.
void ShowItemShortCuts(QObject* form);

// The first item of `menu` with `code`, depth-first in menu order, hidden
// items and hidden sub-menus included; null when none has it (and for 0).
// *enabled tells whether the item and every sub-menu above it are enabled.
QAction* FindShortCut(QMenu* menu, WORD code, bool* enabled);

// Matches `code` against the menus in order; the first match takes the key
// and runs its click when it is enabled. False when no item has the code.
bool DispatchShortCut(std::span<QMenu* const> menus, WORD code);

// Sets each row's item (and its twins) from the values of `key`; a missing
// value removes the item's key.
void LoadShortcutValues(QObject* form, HKEY key);

// Frees the items of `menu` from the last down to index `first`.
void DeleteMenuItemsFrom(QMenu* menu, int first);

// Replaces the items of `dvdKeys` after its first six with invisible copies
// of the items of `fileKeys` from index 5 on: the same click and code, no
// caption. The first five (the arrow and step keys) stay file-mode keys.
void AddHiddenShortcutItems(QMenu* fileKeys, QMenu* dvdKeys);

// The status text of a menu command: the caption without its first "&",
// and without the whole group when that "&" stands in "(&X)"; with withState
// ": ON" or ": OFF" by `checked`. Other parentheses stay.
QString MenuStatusText(const QString& caption, bool withState, bool checked);

// The key and mouse assignments without a window: one row per command of
// the command table in the dialog's order, each with its key (code and
// text) and its gesture letter; loading them from `ShortcutKey` and `Main`,
// capturing a key or choosing a gesture with the conflict rule, the change,
// the built-in set, the key profile files and what OK stores.
//
// Groups: a "-" row is a file-only command, a "+" row a DVD-only one; two
// rows of different groups may share a key or a gesture, since only one of
// them is active at a time.
#pragma once

#include "platform/wintypes.h"
#include "player/units/Commands.h"

#include <QString>

#include <array>
#include <optional>
#include <vector>

// The dialog's text of a code: the menus' text, "Num " before a keypad digit
// or the keypad's "/" without modifiers, and " (Unlocked)" after the keypad's
// centre key without Num Lock unless `importing`. A lone modifier gives its
// prefix alone; 0 gives "".
QString HotKeyText(WORD code, bool importing = false);

// The built-in shortcut of a command number; 0 for none.
WORD DefaultShortcut(int command);

// The gesture letters in the combo's order (item 0 is "", no gesture), and
// the long names the combo shows for them.
inline constexpr const char* kGestureLetters[] = {"", "D", "M", "WU", "WD", "4", "5"};
inline constexpr const char* kGestureNames[] = {"", "ダブルクリック", "中央ボタン", "ホイール上", "ホイール下",
                                                "第４ボタン", "第５ボタン"};
// The combo item of a letter; 0 for none or an unknown one.
int GestureIndex(const QString& letter);
// FastForward and Rewind run until their button is released: of the
// gestures they take only the extra buttons, whose release ends them.
bool TakesOnlyExtraButtons(int command);

inline constexpr char kNoAssignment[] = "--";

struct THotKeyRow {
    const TCommand* Command = nullptr;   // number, caption, value name
    char Group = 0;                      // '-', '+' or 0
    QString Key;                         // shown text; "--" for rows that take no key
    WORD Code = 0;                       // 0 = no key
    QString Mouse;                       // gesture letter; "--" for rows that take none

    bool TakesKey() const { return Key != QLatin1String(kNoAssignment); }
    bool TakesGesture() const { return Mouse != QLatin1String(kNoAssignment); }
};

// What OK leaves for the main window.
struct THotKeyResult {
    bool KeysWritten = false;                         // `ShortcutKey` holds the new codes
    bool ModifyKey = false;                           // as written with them: not the built-in set
    std::optional<std::array<DWORD, 5>> PresetCodes;  // Color1 .. Color5, when written
    TMouseActions FileSet{-1, -1, -1, -1, -1, -1};
    TMouseActions DvdSet{-1, -1, -1, -1, -1, -1};
};

class THotKeys {
public:
    THotKeys();

    const std::vector<THotKeyRow>& Rows() const { return rows_; }
    int Count() const { return static_cast<int>(rows_.size()); }
    const THotKeyRow& Row(int index) const { return rows_.at(index); }
    // The row of a command number; -1 when none.
    int RowOf(int command) const;

    // Reads the codes from `ShortcutKey` (created when missing; each with its
    // built-in default) and the twelve gesture bindings from `Main`. Returns
    // `UseArrowKeyInMenu` (true when not stored).
    bool Load();

    // ---- the key box and the gesture combo of the selected row ----
    // Selecting a row ends what was captured or chosen for the one before.
    void Select(int row);
    int Selected() const { return selected_; }
    // A key pressed in the box: `code` with its modifier bits; a code whose
    // key part is 0 (a lone modifier) shows its prefix and captures nothing.
    // Returns the box's text.
    QString CaptureKey(WORD code);
    // The box emptied: the change removes the row's key.
    void CaptureEmpty();
    bool KeyCaptured() const { return captured_.has_value(); }
    // The letter chosen for the selected row; a letter the row may not take
    // (TakesOnlyExtraButtons) becomes "" (returned).
    QString ChooseGesture(const QString& letter);
    // "キー: " / "マウス: " and the captions of every other row holding the
    // key or letter that may not share it; empty without a conflict.
    QString KeyConflict() const { return keyConflict_; }
    QString MouseConflict() const { return mouseConflict_; }
    // The label's text: the key conflict, a line feed, the mouse conflict.
    QString ConflictText() const { return keyConflict_ + QLatin1Char('\n') + mouseConflict_; }

    // The captured key and chosen letter go to the selected row; the rows
    // in conflict lose theirs.
    void Change();
    // Every key back to its command's built-in one, gestures to the start set.
    void RestoreDefaults();
    bool KeysChanged() const { return keysChanged_; }

    // The profile file: [Keys] codes as decimal text, [Mouse] letters. 0 or
    // the errno of the failed step.
    int Export(const QString& path) const;
    // An entry present with a value sets the row (an empty value clears
    // it); a missing one leaves it. Marks the keys changed.
    int Import(const QString& path);

    // Writes the codes (when keys were changed), `ModifyKey`, `DVDMenuKey`,
    // the twelve gesture values and (unless `arrowKeyLocked`)
    // `UseArrowKeyInMenu`.
    THotKeyResult Confirm(bool useArrowKeyInMenu, bool arrowKeyLocked) const;

private:
    // Rows other than the selected one that may not share `matches` with it.
    template <class Match> std::vector<int> ConflictsOf(Match matches) const;
    QString ConflictText(const char* prefix, const std::vector<int>& conflicts) const;
    void ApplyGesture(int row, const QString& letter);

    std::vector<THotKeyRow> rows_;
    int selected_ = -1;
    std::optional<WORD> captured_;        // 0: the box was emptied
    std::optional<QString> chosen_;       // the letter chosen for the selected row
    std::vector<int> keyConflicts_;
    std::vector<int> mouseConflicts_;
    QString keyConflict_;
    QString mouseConflict_;
    bool keysChanged_ = false;
};

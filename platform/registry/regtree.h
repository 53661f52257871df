// The registry as held in memory, and its text form (the registry export
// format). Internal to the registry layer.
#pragma once

#include "platform/wintypes.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace registry::detail {

// Names compare after folding: ASCII, Latin-1, Latin Extended-A, Greek,
// Cyrillic and full-width Latin letters fold to lower case. Bytes that are
// not valid UTF-8 are kept as they are.
std::string FoldName(std::string_view name);

// Lines of the file that the reader does not understand (comments, values
// of unknown form, sections of other roots) are kept where they stood and
// written back unchanged, so that our write changes only what we changed.
// Each is one line without its line end.
using RawLines = std::vector<std::string>;

struct Value {
    std::string name;     // as first written; empty for the default value
    std::string folded;
    DWORD type = 0;
    std::vector<BYTE> data;
    RawLines before;      // kept lines just before this value
};

struct Node {
    std::string name;     // as first written
    std::string folded;
    std::vector<Value> values;                  // in stored order
    std::vector<std::unique_ptr<Node>> children; // in stored order
    RawLines trailing;    // kept lines after the last value of the key's section
    RawLines following;   // sections we do not own, written after the key's section

    Node* Child(std::string_view folded) const;
    // The child with this name, created (appended) when missing.
    Node* ChildOrNew(std::string_view name, std::string_view folded, bool* created = nullptr);
    Value* FindValue(std::string_view folded);
    // Sets (replaces or appends) a value; false when it already held this type and data.
    bool SetValue(std::string_view name, std::string_view folded, DWORD type, std::vector<BYTE> data);
    // A removed value's kept lines go to the next value (or the key's end).
    bool RemoveValue(std::string_view folded);
    // The removed key's kept lines go with it, except the sections of others
    // that followed it: they stay, after the key written before it.
    bool RemoveChild(std::string_view folded);
};

// Keys nest at most this many levels below a root. A file with a deeper key
// is not read (it is handled as a file that is not ours), and no deeper key
// is created: a key's section header repeats its whole path, so the text of
// a chain of keys grows with the square of its depth.
constexpr size_t kMaxKeyDepth = 512;

constexpr int kRootCount = 3;
// Order of the roots in the tree and in the written file.
enum RootIndex { kCurrentUser = 0, kLocalMachine = 1, kClassesRoot = 2 };
extern const char* const kRootNames[kRootCount];

// The first line of a file of ours, as the two export formats write it.
extern const char* const kHeaders[2];

struct Tree {
    std::string header = kHeaders[0];   // as the file read had it
    RawLines preamble;                  // kept lines before the first section
    std::array<Node, kRootCount> roots;
};

// Fills a fresh tree from the file's text. False, with the tree left empty,
// when the text is not a registry file: its first line that is not blank is
// not an export header (a text of blanks only is an empty registry), or a
// section names a key deeper than kMaxKeyDepth.
bool ParseTree(std::string_view text, Tree* tree);
// The file's text for the tree: the header, a blank line, the kept lines
// before the first section, then every key below the roots (parents before
// children) with its values and kept lines, each section followed by a blank
// line and by the sections of others that followed it.
std::string WriteTree(const Tree& tree);

}  // namespace registry::detail

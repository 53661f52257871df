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

struct Value {
    std::string name;     // as first written; empty for the default value
    std::string folded;
    DWORD type = 0;
    std::vector<BYTE> data;
};

struct Node {
    std::string name;     // as first written
    std::string folded;
    std::vector<Value> values;                  // in stored order
    std::vector<std::unique_ptr<Node>> children; // in stored order

    Node* Child(std::string_view folded) const;
    // The child with this name, created (appended) when missing.
    Node* ChildOrNew(std::string_view name, std::string_view folded, bool* created = nullptr);
    Value* FindValue(std::string_view folded);
    // Sets (replaces or appends) a value; false when it already held this type and data.
    bool SetValue(std::string_view name, std::string_view folded, DWORD type, std::vector<BYTE> data);
    bool RemoveValue(std::string_view folded);
    bool RemoveChild(std::string_view folded);
};

constexpr int kRootCount = 3;
// Order of the roots in the tree and in the written file.
enum RootIndex { kCurrentUser = 0, kLocalMachine = 1, kClassesRoot = 2 };
extern const char* const kRootNames[kRootCount];

struct Tree {
    std::array<Node, kRootCount> roots;
};

// Fills a fresh tree from the file's text. Lines that cannot be understood
// are skipped; so are sections under an unknown root and the values that
// follow them.
void ParseTree(std::string_view text, Tree* tree);
// The file's text for the tree: "REGEDIT4", a blank line, then every key
// below the roots (parents before children) with its values, each section
// followed by a blank line.
std::string WriteTree(const Tree& tree);

}  // namespace registry::detail

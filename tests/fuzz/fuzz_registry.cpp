// The registry file's reader and writer: whatever the text, reading never
// fails, and what is written from a tree reads back to the same tree and the
// same text.
#include "platform/registry/regtree.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

using registry::detail::Node;
using registry::detail::Tree;

bool SameNode(const Node& a, const Node& b)
{
    if (a.name != b.name || a.folded != b.folded || a.trailing != b.trailing || a.following != b.following ||
        a.values.size() != b.values.size() || a.children.size() != b.children.size())
        return false;
    for (size_t i = 0; i < a.values.size(); ++i) {
        const auto& x = a.values[i];
        const auto& y = b.values[i];
        if (x.name != y.name || x.type != y.type || x.data != y.data || x.before != y.before) return false;
    }
    for (size_t i = 0; i < a.children.size(); ++i) {
        if (!SameNode(*a.children[i], *b.children[i])) return false;
    }
    return true;
}

bool SameTree(const Tree& a, const Tree& b)
{
    if (a.header != b.header || a.preamble != b.preamble) return false;
    for (size_t r = 0; r < a.roots.size(); ++r) {
        if (!SameNode(a.roots[r], b.roots[r])) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Tree first;
    if (!registry::detail::ParseTree(text, &first)) return 0;   // not ours: moved aside, never read
    const std::string written = registry::detail::WriteTree(first);
    Tree second;
    if (!registry::detail::ParseTree(written, &second)) std::abort();
    if (!SameTree(first, second)) std::abort();
    if (registry::detail::WriteTree(second) != written) std::abort();
    return 0;
}

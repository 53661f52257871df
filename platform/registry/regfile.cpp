// Names, the in-memory tree and its text form.
#include "platform/registry/regtree.h"

#include "platform/registry/registry.h"

#include <cstdio>

namespace registry::detail {

const char* const kRootNames[kRootCount] = {"HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_CLASSES_ROOT"};
const char* const kHeaders[2] = {"REGEDIT4", "Windows Registry Editor Version 5.00"};

namespace {

// ---- UTF-8 and case folding ----

// Decodes one UTF-8 sequence at s[i]; returns its length, 0 when invalid.
size_t DecodeUtf8(std::string_view s, size_t i, char32_t* out)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    size_t len;
    char32_t c;
    if (b0 < 0x80) {
        *out = b0;
        return 1;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        c = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        c = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        c = b0 & 0x07;
    } else {
        return 0;
    }
    if (i + len > s.size()) return 0;
    for (size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        c = (c << 6) | (b & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode are invalid.
    if ((len == 3 && c < 0x800) || (len == 4 && (c < 0x10000 || c > 0x10FFFF)) || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    *out = c;
    return len;
}

void AppendUtf8(std::string* out, char32_t c)
{
    if (c < 0x80) {
        out->push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (c >> 6)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (c >> 12)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (c >> 18)));
        out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

char32_t FoldChar(char32_t c)
{
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    if (c >= 0x100 && c <= 0x17F) {
        if ((c <= 0x137 || (c >= 0x14A && c <= 0x177)) && c % 2 == 0) return c + 1;
        if (((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) && c % 2 == 1) return c + 1;
        if (c == 0x178) return 0xFF;
        return c;
    }
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 0x20;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    if (c >= 0xFF21 && c <= 0xFF3A) return c + 0x20;
    return c;
}

bool IsValidUtf8(std::string_view s)
{
    char32_t c;
    for (size_t i = 0; i < s.size();) {
        const size_t n = DecodeUtf8(s, i, &c);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

// ---- reading ----

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (IsSpace(s.front()) || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (IsSpace(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix)
{
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char a = s[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a + 32);
        if (a != prefix[i]) return false;
    }
    return true;
}

// Parses a quoted text starting at s[*pos] == '"'; *pos ends after the
// closing quote. Escapes: \\ \" \n \r \t \xHH; any other backslash is kept.
bool ParseQuoted(std::string_view s, size_t* pos, std::string* out)
{
    size_t i = *pos + 1;
    out->clear();
    while (i < s.size()) {
        const char c = s[i];
        if (c == '"') {
            *pos = i + 1;
            return true;
        }
        if (c == '\\' && i + 1 < s.size()) {
            const char e = s[i + 1];
            if (e == '\\' || e == '"') {
                out->push_back(e);
                i += 2;
            } else if (e == 'n') {
                out->push_back('\n');
                i += 2;
            } else if (e == 'r') {
                out->push_back('\r');
                i += 2;
            } else if (e == 't') {
                out->push_back('\t');
                i += 2;
            } else if (e == 'x' && i + 3 < s.size() && HexDigit(s[i + 2]) >= 0 && HexDigit(s[i + 3]) >= 0) {
                out->push_back(static_cast<char>(HexDigit(s[i + 2]) * 16 + HexDigit(s[i + 3])));
                i += 4;
            } else {
                out->push_back('\\');
                i += 1;
            }
            continue;
        }
        out->push_back(c);
        ++i;
    }
    return false;
}

// Parses "0a,0b , c" (each item one or two hex digits; an empty list, and
// a comma before the end, are allowed).
bool ParseHexBytes(std::string_view s, std::vector<BYTE>* out)
{
    s = Trim(s);
    if (s.empty()) return true;
    size_t start = 0;
    while (true) {
        const size_t comma = s.find(',', start);
        const std::string_view item = Trim(s.substr(start, comma == std::string_view::npos ? s.npos : comma - start));
        const bool last = comma == std::string_view::npos;
        if (item.empty()) {
            if (!last) return false;   // ",," inside the list
            return true;               // trailing comma
        }
        if (item.size() > 2) return false;
        int value = 0;
        for (char c : item) {
            const int d = HexDigit(c);
            if (d < 0) return false;
            value = value * 16 + d;
        }
        out->push_back(static_cast<BYTE>(value));
        if (last) return true;
        start = comma + 1;
    }
}

bool IsHeader(std::string_view line)
{
    for (const char* header : kHeaders) {
        if (FoldName(line) == FoldName(header)) return true;
    }
    return false;
}

// A line as kept: its text without the line end ("\r" before "\n" too, as
// the file is written with "\n" alone).
std::string KeptLine(std::string_view line)
{
    while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return std::string(line);
}

// A kept line that, read again, would take the next line as the rest of a
// hex list; the writer puts a blank line after it, which ends that list.
bool ContinuesOnNextLine(std::string_view line)
{
    line = Trim(line);
    return !line.empty() && (line.front() == '"' || line.front() == '@') && line.back() == '\\';
}

class Parser {
public:
    Parser(std::string_view text, Tree* tree) : tree_(tree)
    {
        if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
        size_t start = 0;
        while (start <= text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string_view::npos) end = text.size();
            lines_.push_back(text.substr(start, end - start));
            start = end + 1;
        }
    }

    bool Run()
    {
        next_ = 0;
        while (next_ < lines_.size() && Trim(lines_[next_]).empty()) ++next_;
        if (next_ == lines_.size()) return true;   // blanks only: an empty registry
        if (!IsHeader(Trim(lines_[next_]))) return false;
        tree_->header = std::string(Trim(lines_[next_++]));
        keepTo_ = &tree_->preamble;
        while (next_ < lines_.size()) {
            const size_t first = next_;
            const std::string_view line = Trim(lines_[next_++]);
            if (line.empty()) continue;
            if (line.front() == '[') {
                if (!Section(line, first)) return false;
            } else if (!current_ || !ValueLine(line)) {
                for (size_t i = first; i < next_; ++i) keepTo_->push_back(KeptLine(lines_[i]));
            }
        }
        EndSection();
        return true;
    }

private:
    // Kept lines after the last value of a section are its trailing lines.
    void EndSection()
    {
        if (current_ && !pending_.empty()) {
            current_->trailing.insert(current_->trailing.end(), pending_.begin(), pending_.end());
        }
        pending_.clear();
    }

    // False when the section names a key nested too deep to be ours.
    bool Section(std::string_view line, size_t index)
    {
        EndSection();
        bool tooDeep = false;
        Node* node = KnownSection(line, &tooDeep);
        if (tooDeep) return false;
        if (!node) {
            // Another root, a deletion request or a broken header: the section
            // and its lines are kept after the key read before it.
            keepTo_ = lastKnown_ ? &lastKnown_->following : &tree_->preamble;
            current_ = nullptr;
            keepTo_->push_back(KeptLine(lines_[index]));
            return true;
        }
        current_ = lastKnown_ = node;
        keepTo_ = &pending_;
        return true;
    }

    Node* KnownSection(std::string_view line, bool* tooDeep)
    {
        const size_t close = line.rfind(']');
        if (close == std::string_view::npos || close == 0) return nullptr;
        std::string_view path = line.substr(1, close - 1);
        if (!path.empty() && path.front() == '-') return nullptr;   // a deletion request, not a key
        const size_t sep = path.find('\\');
        const std::string rootName = FoldName(Trim(path.substr(0, sep)));
        int root = -1;
        for (int r = 0; r < kRootCount; ++r) {
            if (rootName == FoldName(kRootNames[r])) root = r;
        }
        if (rootName == "hkcu") root = kCurrentUser;
        if (rootName == "hklm") root = kLocalMachine;
        if (rootName == "hkcr") root = kClassesRoot;
        if (root < 0) return nullptr;
        Node* node = &tree_->roots[root];
        if (sep != std::string_view::npos) {
            std::string_view rest = path.substr(sep + 1);
            // Counted before any key is made, so a deep chain costs no memory.
            size_t depth = 0;
            for (size_t at = 0; at <= rest.size() && depth <= kMaxKeyDepth;) {
                size_t end = rest.find('\\', at);
                if (end == std::string_view::npos) end = rest.size();
                if (end > at) ++depth;
                at = end + 1;
            }
            if (depth > kMaxKeyDepth) {
                *tooDeep = true;
                return nullptr;
            }
            while (!rest.empty()) {
                const size_t next = rest.find('\\');
                const std::string_view name = rest.substr(0, next);
                if (!name.empty()) node = node->ChildOrNew(name, FoldName(name));
                if (next == std::string_view::npos) break;
                rest.remove_prefix(next + 1);
            }
        }
        return node;
    }

    // False when the line (with the lines it took as its continuation) is
    // not a value we understand.
    bool ValueLine(std::string_view line)
    {
        size_t pos = 0;
        std::string name;
        if (line.front() == '@') {
            pos = 1;
        } else if (line.front() != '"' || !ParseQuoted(line, &pos, &name)) {
            return false;
        }
        while (pos < line.size() && IsSpace(line[pos])) ++pos;
        if (pos >= line.size() || line[pos] != '=') return false;
        ++pos;
        while (pos < line.size() && IsSpace(line[pos])) ++pos;
        std::string_view data = line.substr(pos);

        DWORD type;
        std::vector<BYTE> bytes;
        if (!data.empty() && data.front() == '"') {
            size_t end = 0;
            std::string text;
            if (!ParseQuoted(data, &end, &text) || !Trim(data.substr(end)).empty()) return false;
            type = REG_SZ;
            bytes.assign(text.begin(), text.end());
            bytes.push_back(0);
        } else if (StartsWithNoCase(data, "dword:")) {
            const std::string_view digits = Trim(data.substr(6));
            if (digits.empty() || digits.size() > 8) return false;
            DWORD v = 0;
            for (char c : digits) {
                const int d = HexDigit(c);
                if (d < 0) return false;
                v = v * 16 + static_cast<DWORD>(d);
            }
            type = REG_DWORD;
            for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<BYTE>(v >> (8 * k)));
        } else if (StartsWithNoCase(data, "hex")) {
            size_t p = 3;
            type = REG_BINARY;
            if (p < data.size() && data[p] == '(') {
                const size_t close = data.find(')', p);
                if (close == std::string_view::npos) return false;
                const std::string_view digits = Trim(data.substr(p + 1, close - p - 1));
                if (digits.empty() || digits.size() > 8) return false;
                type = 0;
                for (char c : digits) {
                    const int d = HexDigit(c);
                    if (d < 0) return false;
                    type = type * 16 + static_cast<DWORD>(d);
                }
                p = close + 1;
            }
            while (p < data.size() && IsSpace(data[p])) ++p;
            if (p >= data.size() || data[p] != ':') return false;
            std::string list(data.substr(p + 1));
            // A list ending in "\" goes on in the following lines; a blank
            // line or the start of another entry ends it unfinished.
            while (!Trim(list).empty() && Trim(list).back() == '\\') {
                list = std::string(Trim(list));
                list.pop_back();
                if (next_ >= lines_.size()) return false;
                const std::string_view more = Trim(lines_[next_]);
                if (more.empty() || more.front() == '[' || more.front() == '"' || more.front() == '@') return false;
                ++next_;
                list += more;
            }
            if (!ParseHexBytes(list, &bytes)) return false;
        } else {
            return false;   // "-" (deletion) or an unknown form
        }
        const std::string folded = FoldName(name);
        const bool existed = current_->FindValue(folded) != nullptr;
        current_->SetValue(name, folded, type, std::move(bytes));
        if (!existed && !pending_.empty()) {
            current_->values.back().before = std::move(pending_);
            pending_.clear();
        }
        return true;
    }

    Tree* tree_;
    std::vector<std::string_view> lines_;
    size_t next_ = 0;
    Node* current_ = nullptr;     // the key of the section being read
    Node* lastKnown_ = nullptr;   // the key of the last section of ours
    RawLines pending_;            // kept lines not yet placed before a value
    RawLines* keepTo_ = nullptr;  // where a line not understood goes
};

// ---- writing ----

void AppendEscaped(std::string* out, std::string_view text)
{
    static const char kHex[] = "0123456789abcdef";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            out->push_back('\\');
            out->push_back(c);
        } else if (c == '\n') {
            out->append("\\n");
        } else if (c == '\r') {
            out->append("\\r");
        } else if (c == '\t') {
            out->append("\\t");
        } else if (u < 0x20 || u == 0x7F) {
            out->append("\\x");
            out->push_back(kHex[u >> 4]);
            out->push_back(kHex[u & 15]);
        } else {
            out->push_back(c);
        }
    }
}

void AppendHexList(std::string* out, const std::vector<BYTE>& data)
{
    static const char kHex[] = "0123456789abcdef";
    for (size_t i = 0; i < data.size(); ++i) {
        if (i) out->push_back(',');
        out->push_back(kHex[data[i] >> 4]);
        out->push_back(kHex[data[i] & 15]);
    }
}

// A REG_SZ that the quoted form holds exactly: valid UTF-8 with one
// terminating zero and no other.
bool IsPlainText(const std::vector<BYTE>& data)
{
    if (data.empty() || data.back() != 0) return false;
    const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size() - 1);
    return text.find('\0') == std::string_view::npos && IsValidUtf8(text);
}

void WriteKept(std::string* out, const RawLines& lines)
{
    for (const std::string& line : lines) {
        out->append(line);
        out->push_back('\n');
        if (ContinuesOnNextLine(line)) out->push_back('\n');
    }
}

void WriteValue(std::string* out, const Value& v)
{
    WriteKept(out, v.before);
    if (v.name.empty()) {
        out->push_back('@');
    } else {
        out->push_back('"');
        AppendEscaped(out, v.name);
        out->push_back('"');
    }
    out->push_back('=');
    if (v.type == REG_SZ && IsPlainText(v.data)) {
        out->push_back('"');
        AppendEscaped(out, std::string_view(reinterpret_cast<const char*>(v.data.data()), v.data.size() - 1));
        out->push_back('"');
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
        const DWORD d = static_cast<DWORD>(v.data[0]) | static_cast<DWORD>(v.data[1]) << 8 |
                        static_cast<DWORD>(v.data[2]) << 16 | static_cast<DWORD>(v.data[3]) << 24;
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(d));
        out->append(buf);
    } else if (v.type == REG_BINARY) {
        out->append("hex:");
        AppendHexList(out, v.data);
    } else {
        char buf[24];
        std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.type));
        out->append(buf);
        AppendHexList(out, v.data);
    }
    out->push_back('\n');
}

void WriteSection(std::string* out, const Node& node, const std::string& path)
{
    out->push_back('[');
    out->append(path);
    out->append("]\n");
    for (const Value& v : node.values) WriteValue(out, v);
    WriteKept(out, node.trailing);
    out->push_back('\n');
    // The sections of others, each after a blank line as a file would have them.
    for (size_t i = 0; i < node.following.size(); ++i) {
        const std::string_view line = Trim(node.following[i]);
        if (i > 0 && !line.empty() && line.front() == '[') out->push_back('\n');
        WriteKept(out, {node.following[i]});
    }
    if (!node.following.empty()) out->push_back('\n');
}

// Visits the subtree's keys parents first, children in stored order, with
// an explicit stack rather than a call per level.
template <typename Visit>
void ForEachKey(const Node& top, Visit visit)
{
    struct Frame {
        const Node* node;
        size_t nextChild;
    };
    std::vector<Frame> stack{{&top, 0}};
    visit(top, size_t{0});
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.nextChild == frame.node->children.size()) {
            stack.pop_back();
            continue;
        }
        const Node& child = *frame.node->children[frame.nextChild++];
        visit(child, stack.size());
        stack.push_back({&child, 0});
    }
}

// Writes the key at `path` and every key below it.
void WriteNode(std::string* out, const Node& top, const std::string& path)
{
    // The path of the key at each depth, below `top`'s own.
    std::vector<std::string> paths;
    ForEachKey(top, [&](const Node& node, size_t depth) {
        paths.resize(depth + 1);
        paths[depth] = depth == 0 ? path : paths[depth - 1] + "\\" + node.name;
        WriteSection(out, node, paths[depth]);
    });
}

// Appends the sections of others kept after the keys of the subtree, in
// the order they are written.
void CollectFollowing(const Node& top, RawLines* out)
{
    ForEachKey(top, [&](const Node& node, size_t) {
        out->insert(out->end(), node.following.begin(), node.following.end());
    });
}

}  // namespace

std::string FoldName(std::string_view name)
{
    std::string out;
    out.reserve(name.size());
    for (size_t i = 0; i < name.size();) {
        const char c = name[i];
        if (static_cast<unsigned char>(c) < 0x80) {
            out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c);
            ++i;
            continue;
        }
        char32_t cp;
        const size_t n = DecodeUtf8(name, i, &cp);
        if (n == 0) {
            out.push_back(c);
            ++i;
            continue;
        }
        AppendUtf8(&out, FoldChar(cp));
        i += n;
    }
    return out;
}

Node* Node::Child(std::string_view f) const
{
    for (const auto& child : children) {
        if (child->folded == f) return child.get();
    }
    return nullptr;
}

Node* Node::ChildOrNew(std::string_view n, std::string_view f, bool* created)
{
    if (created) *created = false;
    if (Node* found = Child(f)) return found;
    auto child = std::make_unique<Node>();
    child->name = n;
    child->folded = f;
    children.push_back(std::move(child));
    if (created) *created = true;
    return children.back().get();
}

Value* Node::FindValue(std::string_view f)
{
    for (Value& v : values) {
        if (v.folded == f) return &v;
    }
    return nullptr;
}

bool Node::SetValue(std::string_view n, std::string_view f, DWORD type, std::vector<BYTE> data)
{
    if (Value* v = FindValue(f)) {
        if (v->type == type && v->data == data) return false;
        v->type = type;
        v->data = std::move(data);
        return true;
    }
    Value v;
    v.name = n;
    v.folded = f;
    v.type = type;
    v.data = std::move(data);
    values.push_back(std::move(v));
    return true;
}

bool Node::RemoveValue(std::string_view f)
{
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (it->folded != f) continue;
        RawLines kept = std::move(it->before);
        const auto next = values.erase(it);
        RawLines& to = next != values.end() ? next->before : trailing;
        to.insert(to.begin(), kept.begin(), kept.end());
        return true;
    }
    return false;
}

bool Node::RemoveChild(std::string_view f)
{
    for (auto it = children.begin(); it != children.end(); ++it) {
        if ((*it)->folded != f) continue;
        RawLines others;
        CollectFollowing(**it, &others);
        Node* before = this;
        if (it != children.begin()) {
            before = std::prev(it)->get();
            while (!before->children.empty()) before = before->children.back().get();
        }
        children.erase(it);
        before->following.insert(before->following.end(), others.begin(), others.end());
        return true;
    }
    return false;
}

bool ParseTree(std::string_view text, Tree* tree)
{
    if (Parser(text, tree).Run()) return true;
    *tree = Tree();
    return false;
}

std::string WriteTree(const Tree& tree)
{
    std::string out = tree.header + "\n\n";
    if (!tree.preamble.empty()) {
        for (size_t i = 0; i < tree.preamble.size(); ++i) {
            const std::string_view line = Trim(tree.preamble[i]);
            if (i > 0 && !line.empty() && line.front() == '[') out.push_back('\n');
            WriteKept(&out, {tree.preamble[i]});
        }
        out.push_back('\n');
    }
    for (int r = 0; r < kRootCount; ++r) {
        const Node& root = tree.roots[r];
        // A root's own section holds its values, or the lines kept there.
        if (!root.values.empty() || !root.trailing.empty() || !root.following.empty())
            WriteSection(&out, root, kRootNames[r]);
        for (const auto& child : root.children)
            WriteNode(&out, *child, std::string(kRootNames[r]) + "\\" + child->name);
    }
    return out;
}

}  // namespace registry::detail

#include "engine/client/tests/filter_tree.h"

#include <cstring>
#include <functional>

namespace qv::testing {
namespace {

void Put16(std::string& s, std::size_t at, std::uint32_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, std::size_t at, std::uint32_t v) {
    Put16(s, at, v & 0xFFFF);
    Put16(s, at + 2, v >> 16);
}
template <class T>
std::string Bytes(T v) {
    std::string s(sizeof v, '\0');
    std::memcpy(s.data(), &v, sizeof v);
    return s;
}

}  // namespace

ExprNode Field(const std::string& name) {
    ExprNode n;
    n.cls = 4;
    n.text = name;
    return n;
}
ExprNode Const(std::uint16_t type, const std::string& bytes) {
    ExprNode n;
    n.cls = 5;
    n.type = type;
    n.text = bytes;
    return n;
}
ExprNode Int32(std::int32_t v) { return Const(6, Bytes(v)); }
ExprNode Int16(std::int16_t v) { return Const(5, Bytes(v)); }
ExprNode Text(const std::string& s) { return Const(1, s + '\0'); }
ExprNode Float(double v) { return Const(7, Bytes(v)); }
ExprNode Logical(bool v) { return Const(4, Bytes(static_cast<std::uint16_t>(v ? 1 : 0))); }
ExprNode Compare(std::uint32_t op, ExprNode a, ExprNode b, bool caseInsensitive, std::uint16_t partial) {
    ExprNode n;
    n.cls = 3;
    n.op = op;
    n.caseInsensitive = caseInsensitive ? 1 : 0;
    n.partial = partial;
    n.kids = {std::move(a), std::move(b)};
    return n;
}
ExprNode Binary(std::uint32_t op, ExprNode a, ExprNode b) {
    ExprNode n;
    n.cls = 2;
    n.op = op;
    n.kids = {std::move(a), std::move(b)};
    return n;
}
ExprNode Unary(std::uint32_t op, ExprNode a) {
    ExprNode n;
    n.cls = 1;
    n.op = op;
    n.kids = {std::move(a)};
    return n;
}
ExprNode Continue(std::uint16_t v) {
    ExprNode n;
    n.cls = 7;
    n.value = v;
    return n;
}
ExprNode Raw(std::uint32_t cls, std::uint32_t op) {
    ExprNode n;
    n.cls = cls;
    n.op = op;
    return n;
}

std::vector<std::uint8_t> BuildTree(const ExprNode& root) {
    std::string nodes, lits;
    int count = 0;
    std::function<std::uint16_t(const ExprNode&)> emit = [&](const ExprNode& n) -> std::uint16_t {
        ++count;
        std::size_t at = nodes.size();
        std::size_t size = 8;
        switch (n.cls) {
            case 1: case 7: size = 10; break;
            case 2: case 4: size = 12; break;
            case 3: size = 16; break;
            case 5: size = 14; break;
            default: break;
        }
        nodes.resize(at + size, '\0');
        Put32(nodes, at, n.cls);
        Put32(nodes, at + 4, n.op);
        switch (n.cls) {
            case 1: Put16(nodes, at + 8, emit(n.kids[0])); break;
            case 2: {
                std::uint16_t a = emit(n.kids[0]);
                std::uint16_t b = emit(n.kids[1]);
                Put16(nodes, at + 8, a);
                Put16(nodes, at + 10, b);
                break;
            }
            case 3: {
                Put16(nodes, at + 8, n.caseInsensitive);
                Put16(nodes, at + 10, n.partial);
                std::uint16_t a = emit(n.kids[0]);
                std::uint16_t b = emit(n.kids[1]);
                Put16(nodes, at + 12, a);
                Put16(nodes, at + 14, b);
                break;
            }
            case 4:
                Put16(nodes, at + 10, static_cast<std::uint32_t>(lits.size()));
                lits += n.text + '\0';
                break;
            case 5:
                Put16(nodes, at + 8, n.type);
                Put16(nodes, at + 10, static_cast<std::uint32_t>(n.text.size()));
                Put16(nodes, at + 12, static_cast<std::uint32_t>(lits.size()));
                lits += n.text;
                break;
            case 7: Put16(nodes, at + 8, n.value); break;
            default: break;
        }
        return static_cast<std::uint16_t>(at);
    };
    emit(root);
    std::string header(10, '\0');
    Put16(header, 0, 1);
    Put16(header, 2, static_cast<std::uint32_t>(10 + nodes.size() + lits.size()));
    Put16(header, 4, static_cast<std::uint32_t>(count));
    Put16(header, 6, 10);
    Put16(header, 8, static_cast<std::uint32_t>(10 + nodes.size()));
    std::string all = header + nodes + lits;
    return std::vector<std::uint8_t>(all.begin(), all.end());
}

}  // namespace qv::testing

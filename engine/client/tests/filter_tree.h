// Builds filter expression trees for the tests and the fuzz seeds: nodes
// are described as a tree of values and laid out root first, as the filter
// compiler lays them out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv::testing {

struct ExprNode {
    std::uint32_t cls = 0, op = 0;
    std::uint16_t caseInsensitive = 0, partial = 0, type = 0, value = 0;
    std::string text;  // field name or constant bytes
    std::vector<ExprNode> kids;
};

ExprNode Field(const std::string& name);
ExprNode Const(std::uint16_t type, const std::string& bytes);
ExprNode Int32(std::int32_t v);
ExprNode Int16(std::int16_t v);
ExprNode Text(const std::string& s);  // type 1, with its NUL
ExprNode Float(double v);
ExprNode Logical(bool v);
ExprNode Compare(std::uint32_t op, ExprNode a, ExprNode b, bool caseInsensitive = false,
                 std::uint16_t partial = 0);
ExprNode Binary(std::uint32_t op, ExprNode a, ExprNode b);
ExprNode Unary(std::uint32_t op, ExprNode a);
ExprNode Continue(std::uint16_t v);
ExprNode Raw(std::uint32_t cls, std::uint32_t op);

// The tree's bytes: a 10-byte header, the nodes, the literals.
std::vector<std::uint8_t> BuildTree(const ExprNode& root);

}  // namespace qv::testing

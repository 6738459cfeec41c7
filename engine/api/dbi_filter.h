// What DbiAddFilter takes as an expression tree, beyond its layout: the
// filter compiler builds its trees within these limits.
#pragma once

namespace qv {

// The deepest tree, counted in nodes on the longest path from the root (the
// root included). A deeper tree, or one that does not hold together, is
// refused with kDbiErrInvalidParam.
constexpr int kDbiMaxFilterLevels = 64;

}  // namespace qv

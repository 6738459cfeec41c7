#include "helpbuild/compile_options.h"

#include <stdexcept>

namespace build {

void MemoryCompileOptions::Post() {
    if (failPost) throw std::runtime_error("the row cannot be saved");
    ++posts;
    posted = fields;
    editing_ = false;
}

void MemoryCompileOptions::CancelEdit() {
    if (editing_) fields = before_;
    editing_ = false;
}

}  // namespace build

// The one exception type of the library: a whole operation failed, and what() says why in words
// a user can read.
#pragma once

#include <stdexcept>
#include <string>

namespace quillmere {

class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

} // namespace quillmere

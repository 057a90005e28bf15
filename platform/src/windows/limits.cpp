#include "zt/platform/limits.h"

namespace zt::platform {

// Windows caps files by quota per volume and user, not per process.
FileSizeLimit::FileSizeLimit(uint64_t) {}

FileSizeLimit::~FileSizeLimit() = default;

}  // namespace zt::platform

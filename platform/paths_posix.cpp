// The separator of POSIX paths.
#include "platform/paths.h"

namespace platform {

char path_separator() { return '/'; }

}  // namespace platform

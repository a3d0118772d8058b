// The separator of Windows paths.
#include "platform/paths.h"

namespace platform {

char path_separator() { return '\\'; }

}  // namespace platform

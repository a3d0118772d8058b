// Host terminals and pipes take the program's UTF-8 as it is.
#include "platform/console.h"

namespace platform {

void attach_console_encoding() {}

}  // namespace platform

// Offering to restart the running client so a changed skin takes effect.
#pragma once

#include "platform/console.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/shell.h"

namespace client {

// When a client process runs, asks whether to restart it; on Yes ends it and
// starts its launcher from the same folder. The client is ended only when
// that launcher exists; otherwise the console says why it was left running.
// Reports on the console only and always returns.
void restart_client(platform::Processes& processes, platform::Dialogs& dialogs,
                    platform::Shell& shell, platform::Files& files,
                    platform::Console& console);

}  // namespace client

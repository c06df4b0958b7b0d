// Helpers shared by the tests: temporary folders and the private runtime folder.
#pragma once

#include <QString>

// Gives the process a private XDG_RUNTIME_DIR (mode 0700) so Qt never complains about a shared one.
void UsePrivateRuntimeDir();

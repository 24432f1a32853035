#pragma once

// Every System V key of the common library is ftok(key file, id).

namespace zelor::common::ipc {

// Creates the key file empty when it is missing. False (errno set) when it can
// be neither found nor created.
bool ensureKeyFile(const char* path);

}  // namespace zelor::common::ipc

#pragma once
// dlopen/dlsym with the host's error texts, shared by the library loaders.

#include <dlfcn.h>

#include <string>

namespace zelor::sim {

// Opens `path` with `flags`; on failure `error` names the path and dlerror().
inline void* OpenSharedLibrary(const std::string& path, int flags, std::string& error) {
  void* library = dlopen(path.c_str(), flags);
  if (library == nullptr) {
    const char* why = dlerror();
    error = "cannot load " + path + ": " + (why != nullptr ? why : "unknown");
  }
  return library;
}

// Resolves `name` into `out`; on failure `error` reads "<owner> lacks <name>".
template <typename T>
bool ResolveSymbol(void* library, const char* owner, const char* name, T& out, std::string& error) {
  void* symbol = dlsym(library, name);
  if (symbol == nullptr) {
    error = std::string(owner) + " lacks " + name;
    return false;
  }
  out = reinterpret_cast<T>(symbol);
  return true;
}

}  // namespace zelor::sim

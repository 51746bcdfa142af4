#include "common/loadable_module.hpp"

#include <dlfcn.h>
#include <link.h>

#include <filesystem>
#include <system_error>
#include <vector>

#ifndef BOXMODEL_MODULE_DIR
#define BOXMODEL_MODULE_DIR "../lib/boxmodel"
#endif

namespace box {
namespace {

// The folder of the program or shared object this code was linked into:
// the executable through /proc (its link-map name is empty), a shared
// object (the Python extension) by the path it was loaded from.
std::filesystem::path own_folder() {
  Dl_info info{};
  link_map* map = nullptr;
  static const int anchor = 0;
  std::error_code error;
  if (dladdr1(&anchor, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) != 0 && map != nullptr &&
      map->l_name != nullptr && map->l_name[0] != '\0')
    return std::filesystem::absolute(map->l_name, error).parent_path();
  return std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
}

}  // namespace

LoadedModule load_module(std::string_view file_name, const char* symbol, bool global) {
  const std::string name(file_name);
  const int mode = RTLD_NOW | (global ? RTLD_GLOBAL : RTLD_LOCAL);
  std::vector<std::string> places;
  const std::filesystem::path folder = own_folder();
  if (!folder.empty()) {
    places.push_back((folder / name).string());
    places.push_back((folder / BOXMODEL_MODULE_DIR / name).lexically_normal().string());
  }
  std::string looked;
  for (const std::string& place : places) {
    std::error_code error;
    if (!std::filesystem::exists(place, error)) {
      looked += (looked.empty() ? "" : ", ") + place;
      continue;
    }
    // Found but not loadable (a library it needs is missing): that is the
    // reason to give.
    void* handle = dlopen(place.c_str(), mode);
    if (handle == nullptr) return {nullptr, name + " cannot be loaded: " + dlerror()};
    if (void* f = dlsym(handle, symbol)) return {f, {}};
    return {nullptr, place + " is not this program's module (no " + std::string(symbol) + ")"};
  }
  // Last, the library search path (LD_LIBRARY_PATH, ldconfig).
  if (void* handle = dlopen(name.c_str(), mode)) {
    if (void* f = dlsym(handle, symbol)) return {f, {}};
    return {nullptr, name + " on the library path is not this program's module (no " + std::string(symbol) + ")"};
  }
  return {nullptr, name + " was not found (looked in " + looked + " and on the library path)"};
}

}  // namespace box

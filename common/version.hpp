#pragma once
// The program's version, as the build names it.
namespace box {

#ifndef BOXMODEL_VERSION
#define BOXMODEL_VERSION "unknown"
#endif
inline constexpr const char* program_version() { return BOXMODEL_VERSION; }

}  // namespace box

#pragma once

#include <string>

namespace tessarin::testing {

// Modules built from stale_module.cpp, whose calls abort.
struct StaleModule {
  std::string file;
  // How the refusal names what it exports.
  std::string exported;
};

inline const StaleModule kStaleModules[] = {
    {TESSARIN_STALE_MODULE, "module version 1000"},
    {TESSARIN_UNVERSIONED_MODULE, "module without a version"},
};

}  // namespace tessarin::testing

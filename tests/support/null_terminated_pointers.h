#pragma once

#include <string>
#include <vector>

namespace tessarin::testing {

// The argv or envp a child process is started with: a pointer to each text,
// then a null. The texts must outlive the pointers.
inline std::vector<char*> NullTerminatedPointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (auto& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace tessarin::testing

#include "text/join_path.h"

namespace tessarin::text {

std::string JoinPath(const std::string& folder, const std::string& name, char separator) {
  if (!folder.empty() && folder.back() == separator) return folder + name;
  return folder + separator + name;
}

}  // namespace tessarin::text

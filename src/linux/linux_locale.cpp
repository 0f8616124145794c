#include "linux/linux_locale.h"

#include <langinfo.h>
#include <locale.h>

namespace tessarin::linux_platform {
namespace {

// Read from the user's LC_NUMERIC without touching the process's own locale,
// which stays "C" so that nothing else changes its number formatting.
std::string UsersDecimalSeparator() {
  locale_t user = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
  if (user == static_cast<locale_t>(0)) return ".";
  std::string separator = nl_langinfo_l(RADIXCHAR, user);
  freelocale(user);
  return separator.empty() ? std::string(".") : separator;
}

}  // namespace

std::string LinuxLocale::DecimalSeparator() const {
  if (decimalSeparator_.empty()) decimalSeparator_ = UsersDecimalSeparator();
  return decimalSeparator_;
}

}  // namespace tessarin::linux_platform

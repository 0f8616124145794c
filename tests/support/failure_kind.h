#pragma once

#include <optional>

#include "base/failure.h"

namespace tessarin::testing {

// The kind of the Failure that `action` throws; nothing when it throws none.
template <typename Action>
std::optional<FailureKind> KindOfFailure(Action&& action) {
  try {
    action();
  } catch (const Failure& failure) {
    return failure.Kind();
  }
  return std::nullopt;
}

}  // namespace tessarin::testing

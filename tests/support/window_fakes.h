#pragma once

#include <string>
#include <vector>

#include "support/fake_platform.h"

namespace tessarin::testing {

// Settings that also remember which keys were written, in order.
class RecordingSettings : public FakeSettings {
 public:
  std::vector<std::string> writes;
  void Write(const std::string& application, const std::string& section, const std::string& key,
             const std::string& value) override {
    FakeSettings::Write(application, section, key, value);
    writes.push_back(key);
  }
};

}  // namespace tessarin::testing

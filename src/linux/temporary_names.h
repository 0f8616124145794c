#pragma once

#include <string>
#include <string_view>

#include "linux/file_descriptor.h"

namespace tessarin::linux_platform {

// The names a replacement's temporary file has beside the file it replaces:
// ".NAME.tessarin-" and 16 random hex digits. Another user cannot take that
// name in advance, and a name left by a killed run is recognisably that
// file's. Every run holds an exclusive flock on its temporary from before it
// has a name until the run ends; that lock is what tells a leftover.

// A new random name for a temporary of `baseName`.
std::string TemporaryName(const std::string& baseName);

// Is `name` one TemporaryName(baseName) could give?
bool IsTemporaryName(std::string_view name, const std::string& baseName);

// Removes the temporaries of `baseName` in `folder` that no living run holds
// (whose lock can be taken): killed runs left them. One still being written
// or renamed by a concurrent run stays, as does anything that is no ordinary
// file. Failures are ignored: a leftover costs space, not the run.
void RemoveLeftovers(int folder, const std::string& baseName);

// A new temporary of `baseName` in `folder`, created with `mode`, locked and
// still under its name; `name` is set to that name. Another run's clean-up
// may take the lock first and remove the name; another name is then tried.
// -1 with errno set when none could be made.
FileDescriptor OpenNamedTemporary(int folder, const std::string& baseName, unsigned mode,
                                  std::string& name);

}  // namespace tessarin::linux_platform

#pragma once

#include <string>

#include "linux/file_descriptor.h"

namespace tessarin::linux_platform {

// The folder that finally holds a file and its name there, found one name at
// a time from the start folder ("/" or the working folder), each name looked
// up in the descriptor of the folder before it, never again as text. A
// symbolic link on the way, the last name's too, is followed as the kernel's
// fs.protected_symlinks rule has it, whatever the system's setting: in a
// sticky folder everybody may write (such as /tmp), only a link of the user's
// own or of the folder's owner. ".." steps to the parent of the folder
// reached; at most 40 links are followed (the kernel's own limit).
struct WalkedPath {
  FileDescriptor folder;  // open for reading; -1 when a folder on the way is missing
  std::string name;       // the file's name in `folder`, no link; the file may be missing
  std::string path;       // for messages: the path walked, unless a link was followed
};

// What becomes of folders missing on the way: they are reported (a place with
// no folder) or made, private to the user (mode 0700) and durable.
enum class MissingFolders { Reported, Made };

// Whatever the last name is (a file, a folder, nothing yet) is for the caller
// to look at, through `folder`. Throws Failure (kind OutputRefused) naming the
// file, or the folder on the way, with the reason when the walk cannot go on:
// another user's link in a shared sticky folder, too many links, no folder
// where one is needed, a folder that cannot be made or read, a path naming no
// file at all ("/"). Nothing is created but the missing folders `missing`
// makes.
WalkedPath WalkToFile(const std::string& path, MissingFolders missing);

}  // namespace tessarin::linux_platform

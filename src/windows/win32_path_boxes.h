#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "config_window/config_view.h"

namespace tessarin::windows_platform {

// What a path box of the configuration window holds, which decides its
// completion and the dialog its Browse opens.
enum class PathKind {
  OutputBitmap,  // a .bmp file to be written
  Picture,       // a picture to read
  Folder,        // a folder
};

// The kind of path the box holds; nothing for the area boxes.
std::optional<PathKind> PathKindOf(config_window::TextBox box);

// Where a dialog for a box opens: the folder of the path the box holds, and
// the name it suggests there (a folder's own name, for a folder). Either is
// empty when the text names none.
struct DialogStart {
  std::wstring folder;
  std::wstring fileName;
};
DialogStart DialogStartOf(PathKind kind, const std::string& text);

// Asks the person for a path of the kind; nothing when they cancel.
class PathChooser {
 public:
  virtual ~PathChooser() = default;
  virtual std::optional<std::wstring> Choose(HWND owner, PathKind kind,
                                             const DialogStart& start) = 0;
};

// The system's own dialogs: IFileOpenDialog for a picture (the inset
// patterns) or a folder (FOS_PICKFOLDERS), IFileSaveDialog for the output
// bitmap, without the overwrite question (nothing is written on OK).
class ShellPathChooser : public PathChooser {
 public:
  std::optional<std::wstring> Choose(HWND owner, PathKind kind, const DialogStart& start) override;
};

// The shell's file-system completion for the box, folders only for a folder.
void AttachCompletion(HWND box, PathKind kind);

// The path of a drop when it holds exactly one item; nothing for several.
// Releases the drop either way.
std::optional<std::wstring> TakeSingleDroppedPath(HDROP drop);

// The edit's own context menu items and, last, "Browse…" (F4) as
// kBrowseCommand; shown at the point (screen coordinates; the box's centre
// for the keyboard's (-1, -1)). The command chosen, 0 for none.
inline constexpr UINT kBrowseCommand = 1;
UINT TrackBoxMenu(HWND box, POINT at);
// Carries out one of the edit's own items of that menu.
void RunEditCommand(HWND box, UINT command);

// A window's whole text.
std::wstring WindowText(HWND window);

// True when the box is too narrow to show the whole of its text.
bool TextOverflows(HWND box);

}  // namespace tessarin::windows_platform

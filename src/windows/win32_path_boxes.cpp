#include "windows/win32_path_boxes.h"

// clang-format off
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <shobjidl.h>
// clang-format on

#include <array>
#include <string>

#include "base/failure.h"
#include "base/picture_patterns.h"
#include "text/ascii_text.h"
#include "windows/com_support.h"
#include "windows/win32_text.h"

namespace tessarin::windows_platform {
namespace {

// The pictures the program reads, as the inset folder is listed for them:
// the dialog's pattern list takes no blank after each semicolon.
const std::wstring kPictureName = L"Pictures (" + Widen(kInsetPatterns) + L")";
const std::wstring kPicturePatterns = [] {
  std::wstring patterns = Widen(kInsetPatterns);
  std::erase(patterns, L' ');
  return patterns;
}();
const COMDLG_FILTERSPEC kPictureTypes[] = {{kPictureName.c_str(), kPicturePatterns.c_str()}};
constexpr COMDLG_FILTERSPEC kBitmapTypes[] = {{L"Bitmap (*.bmp)", L"*.bmp"}};

void Check(HRESULT result, const char* what) {
  if (FAILED(result)) {
    throw Failure(FailureKind::Platform, std::string("cannot show the file dialog: ") + what +
                                             ": " + ErrorText(static_cast<unsigned long>(result)));
  }
}

void SetUp(IFileDialog& dialog, PathKind kind, const DialogStart& start) {
  FILEOPENDIALOGOPTIONS options = 0;
  Check(dialog.GetOptions(&options), "options");
  options |= FOS_FORCEFILESYSTEM | FOS_NOCHANGEDIR;
  switch (kind) {
    case PathKind::Folder:
      options |= FOS_PICKFOLDERS;
      break;
    case PathKind::Picture:
      options |= FOS_FILEMUSTEXIST;
      Check(dialog.SetFileTypes(1, kPictureTypes), "file types");
      break;
    case PathKind::OutputBitmap:
      // OK saves a setting; the file is written by a later run.
      options &= ~static_cast<FILEOPENDIALOGOPTIONS>(FOS_OVERWRITEPROMPT);
      Check(dialog.SetFileTypes(1, kBitmapTypes), "file types");
      Check(dialog.SetDefaultExtension(L"bmp"), "extension");
      break;
  }
  Check(dialog.SetOptions(options), "options");
  // A folder that is not there (yet) leaves the dialog where it would open.
  ComReference<IShellItem> folder;
  if (!start.folder.empty() &&
      SUCCEEDED(SHCreateItemFromParsingName(start.folder.c_str(), nullptr, IID_IShellItem,
                                            folder.OutVoid()))) {
    dialog.SetFolder(folder.Get());
  }
  if (!start.fileName.empty()) dialog.SetFileName(start.fileName.c_str());
}

std::wstring FileSystemPathOf(IShellItem& item) {
  PWSTR path = nullptr;
  Check(item.GetDisplayName(SIGDN_FILESYSPATH, &path), "the chosen path");
  std::wstring copy(path);
  CoTaskMemFree(path);
  return copy;
}

// The edit control's own context menu items, by the message each sends.
struct EditItem {
  UINT command;
  const wchar_t* caption;
};
constexpr std::array<EditItem, 6> kEditItems = {{{WM_UNDO, L"&Undo"},
                                                 {WM_CUT, L"Cu&t"},
                                                 {WM_COPY, L"&Copy"},
                                                 {WM_PASTE, L"&Paste"},
                                                 {WM_CLEAR, L"&Delete"},
                                                 {EM_SETSEL, L"Select &All"}}};

bool EditItemEnabled(HWND box, UINT command) {
  DWORD from = 0;
  DWORD to = 0;
  SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
  switch (command) {
    case WM_UNDO:
      return SendMessageW(box, EM_CANUNDO, 0, 0) != 0;
    case WM_PASTE:
      return IsClipboardFormatAvailable(CF_UNICODETEXT) != 0;
    case EM_SETSEL:
      return GetWindowTextLengthW(box) > 0;
    default:
      return from != to;
  }
}

}  // namespace

std::optional<PathKind> PathKindOf(config_window::TextBox box) {
  switch (box) {
    case config_window::TextBox::OutputFile:
      return PathKind::OutputBitmap;
    case config_window::TextBox::Canvas:
      return PathKind::Picture;
    case config_window::TextBox::InsetFolder:
      return PathKind::Folder;
    default:
      return std::nullopt;
  }
}

DialogStart DialogStartOf(PathKind kind, const std::string& text) {
  std::wstring path = Widen(text::TrimSpaces(text));
  // A folder is suggested by name in its parent, as a file is, so that OK
  // keeps it; a drive's root stays whole.
  if (kind == PathKind::Folder && path.size() > 1 &&
      (path.back() == L'\\' || path.back() == L'/') && path[path.size() - 2] != L':') {
    path.pop_back();
  }
  const std::size_t cut = path.find_last_of(L"\\/");
  if (cut == std::wstring::npos) return {L"", path};
  return {path.substr(0, cut + 1), path.substr(cut + 1)};
}

std::optional<std::wstring> ShellPathChooser::Choose(HWND owner, PathKind kind,
                                                     const DialogStart& start) {
  const ComApartment apartment;
  ComReference<IFileDialog> dialog;
  const CLSID& type = kind == PathKind::OutputBitmap ? CLSID_FileSaveDialog : CLSID_FileOpenDialog;
  Check(CoCreateInstance(type, nullptr, CLSCTX_INPROC_SERVER, IID_IFileDialog, dialog.OutVoid()),
        "create");
  SetUp(*dialog.Get(), kind, start);
  const HRESULT shown = dialog->Show(owner);
  if (shown == HRESULT_FROM_WIN32(ERROR_CANCELLED)) return std::nullopt;
  Check(shown, "show");
  ComReference<IShellItem> chosen;
  Check(dialog->GetResult(chosen.Out()), "the choice");
  return FileSystemPathOf(*chosen.Get());
}

// The shell's autocomplete over its file-system list, attached as
// SHAutoComplete attaches it (Wine's SHAutoComplete does nothing; its objects
// do attach). The object lives as long as the box. Without it the box still
// takes what is typed, so a refusal changes nothing else.
void AttachCompletion(HWND box, PathKind kind) {
  ComReference<IAutoComplete2> completion;
  ComReference<IACList2> list;
  if (FAILED(CoCreateInstance(CLSID_AutoComplete, nullptr, CLSCTX_INPROC_SERVER, IID_IAutoComplete2,
                              completion.OutVoid())) ||
      FAILED(CoCreateInstance(CLSID_ACListISF, nullptr, CLSCTX_INPROC_SERVER, IID_IACList2,
                              list.OutVoid()))) {
    return;
  }
  list->SetOptions(kind == PathKind::Folder ? ACLO_FILESYSDIRS : ACLO_FILESYSONLY);
  if (SUCCEEDED(completion->Init(box, list.Get(), nullptr, nullptr))) {
    completion->SetOptions(ACO_AUTOSUGGEST);
  }
}

std::optional<std::wstring> TakeSingleDroppedPath(HDROP drop) {
  std::optional<std::wstring> path;
  if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) == 1) {
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    std::wstring name(length + 1, L'\0');
    name.resize(DragQueryFileW(drop, 0, name.data(), length + 1));
    path = name;
  }
  DragFinish(drop);
  return path;
}

UINT TrackBoxMenu(HWND box, POINT at) {
  if (at.x == -1 && at.y == -1) {
    RECT area{};
    GetWindowRect(box, &area);
    at = {(area.left + area.right) / 2, (area.top + area.bottom) / 2};
  }
  HMENU menu = CreatePopupMenu();
  for (std::size_t i = 0; i < kEditItems.size(); ++i) {
    const EditItem& item = kEditItems[i];
    // Separators where the edit's own menu has them.
    if (i == 1 || i == 5) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, EditItemEnabled(box, item.command) ? MF_STRING : MF_STRING | MF_GRAYED,
                item.command, item.caption);
  }
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, kBrowseCommand, L"&Browse\u2026\tF4");
  const UINT chosen = static_cast<UINT>(TrackPopupMenu(
      menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, box, nullptr));
  DestroyMenu(menu);
  return chosen;
}

void RunEditCommand(HWND box, UINT command) {
  if (command == EM_SETSEL) {
    SendMessageW(box, EM_SETSEL, 0, -1);
  } else {
    SendMessageW(box, command, 0, 0);
  }
}

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

bool TextOverflows(HWND box) {
  const std::wstring text = WindowText(box);
  if (text.empty()) return false;
  RECT shown{};
  SendMessageW(box, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&shown));
  HDC dc = GetDC(box);
  const auto font = reinterpret_cast<HFONT>(SendMessageW(box, WM_GETFONT, 0, 0));
  HGDIOBJ previous = font != nullptr ? SelectObject(dc, font) : nullptr;
  SIZE size{};
  GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
  if (previous != nullptr) SelectObject(dc, previous);
  ReleaseDC(box, dc);
  return size.cx > shown.right - shown.left;
}

}  // namespace tessarin::windows_platform

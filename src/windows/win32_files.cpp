#include "windows/win32_files.h"

#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <utility>

#include "base/failure.h"
#include "windows/win32_text.h"

namespace tessarin::windows_platform {
namespace {

// Reads fail as the picture's, anything else as the output's.
[[noreturn]] void ThrowLastError(const std::string& path, const std::string& doing,
                                 FailureKind kind = FailureKind::OutputRefused) {
  throw Failure::InFile(kind, path, doing + ": " + ErrorText(GetLastError()));
}

// Closes the handle when it goes out of scope.
class Handle {
 public:
  explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  void Close() {
    if (valid()) CloseHandle(release());
  }
  HANDLE release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }

 private:
  HANDLE handle_;
};

bool IsOrdinary(const WIN32_FIND_DATAW& found) {
  constexpr DWORD kAbsent =
      FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  return (found.dwFileAttributes & kAbsent) == 0;
}

// Calls `visit` for each directory entry matching the pattern; returns the
// error that ended the search (ERROR_NO_MORE_FILES when all were seen).
DWORD ForEachMatch(const std::wstring& pattern,
                   const std::function<bool(const WIN32_FIND_DATAW&)>& visit) {
  WIN32_FIND_DATAW found{};
  HANDLE search =
      FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return GetLastError();
  DWORD ended = ERROR_NO_MORE_FILES;
  do {
    if (!visit(found)) {
      ended = ERROR_SUCCESS;
      break;
    }
  } while (FindNextFileW(search, &found));
  if (ended != ERROR_SUCCESS) ended = GetLastError();
  FindClose(search);
  return ended;
}

OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return at;
}

// A file marked for deletion goes when its last handle closes, also when the
// process is killed: a run stopped before Commit leaves no temporary behind.
bool MarkForDeletion(HANDLE file, bool deleted) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = deleted ? TRUE : FALSE;
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

class Win32InputFile : public ports::InputFile {
 public:
  Win32InputFile(std::string path, HANDLE handle, std::uint64_t size)
      : path_(std::move(path)), handle_(handle), size_(size) {}
  const std::string& Path() const override { return path_; }
  std::uint64_t Size() const override { return size_; }
  std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
    std::size_t done = 0;
    while (done < out.size()) {
      OVERLAPPED at = At(offset + done);
      DWORD read = 0;
      const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(out.size() - done, 1u << 30));
      if (!ReadFile(handle_.get(), out.data() + done, wanted, &read, &at)) {
        if (GetLastError() == ERROR_HANDLE_EOF) break;
        ThrowLastError(path_, "cannot read", FailureKind::PictureUnreadable);
      }
      if (read == 0) break;
      done += read;
    }
    return done;
  }

 private:
  std::string path_;
  Handle handle_;
  std::uint64_t size_;
};

// Another process may hold the output open for a moment (the desktop reading
// the wallpaper, another run installing it), which refuses its replacement:
// such a refusal is waited out. A read-only output or a folder is refused for good.
bool IsMomentaryRefusal(DWORD error, const std::wstring& target) {
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return true;
  if (error != ERROR_ACCESS_DENIED) return false;
  const DWORD attributes = GetFileAttributesW(target.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

bool MoveOver(const std::wstring& from, const std::wstring& to) {
  constexpr DWORD kPatienceMs = 5000;
  DWORD pause = 5;
  for (DWORD waited = 0;; waited += pause, pause = std::min<DWORD>(2 * pause, 200)) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return true;
    const DWORD error = GetLastError();
    if (waited >= kPatienceMs || !IsMomentaryRefusal(error, to)) {
      SetLastError(error);
      return false;
    }
    Sleep(pause);
  }
}

class Win32OutputFile : public ports::OutputFile {
 public:
  Win32OutputFile(std::string path, std::wstring temporary, HANDLE handle)
      : path_(std::move(path)), temporary_(std::move(temporary)), handle_(handle) {}
  ~Win32OutputFile() override {
    handle_.Close();
    if (!committed_) DeleteFileW(temporary_.c_str());
  }

  void WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
    std::size_t done = 0;
    while (done < bytes.size()) {
      OVERLAPPED at = At(offset + done);
      DWORD written = 0;
      const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
      if (!WriteFile(handle_.get(), bytes.data() + done, wanted, &written, &at) || written == 0) {
        ThrowLastError(path_, "cannot write");
      }
      done += written;
    }
  }

  // The handle stays open until the file has its final name, so that no
  // other run takes it for a killed run's (RemoveLeftovers); its share mode
  // lets the move open it.
  void Commit() override {
    if (!FlushFileBuffers(handle_.get())) ThrowLastError(path_, "cannot flush");
    if (!MarkForDeletion(handle_.get(), false))
      ThrowLastError(path_, "cannot keep the written file");
    if (!MoveOver(temporary_, SystemPath(path_))) ThrowLastError(path_, "cannot replace");
    committed_ = true;
    handle_.Close();
  }

 private:
  std::string path_;
  std::wstring temporary_;
  Handle handle_;
  bool committed_ = false;
};

std::string BaseNameOf(const std::string& path) { return path.substr(FolderPartOf(path).size()); }

// 64 bits from the system's random source, as 16 hex digits: a name nobody
// can foresee, so that no file made beforehand can stand in a run's way.
std::string RandomSuffix(const std::string& path) {
  std::uint64_t bits = 0;
  if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&bits), sizeof bits,
                                      BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
    throw Failure::InFile(FailureKind::OutputRefused, path,
                          "cannot create the output: no random name");
  }
  char digits[17] = {};
  std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(bits));
  return digits;
}

// A temporary is named "~NAME.tessarin-part-" and 16 hex digits, beside the output.
std::string TemporaryPrefix(const std::string& path) {
  return FolderPartOf(path) + "~" + BaseNameOf(path) + ".tessarin-part-";
}

bool IsTemporarySuffix(const std::wstring& suffix) {
  return suffix.size() == 16 && suffix.find_first_not_of(L"0123456789abcdef") == std::wstring::npos;
}

// A living run holds its temporary open from its creation until it has the
// output's name, and its share mode admits no one who shares nothing; a
// temporary that opens without sharing belongs to no living run: a killed run
// left it, and it goes when that handle closes. (One still marked for deletion
// cannot be opened at all, and goes by itself.)
void RemoveLeftovers(const std::string& path) {
  const std::string prefix = TemporaryPrefix(path);
  const std::size_t prefixLength = Widen(BaseNameOf(prefix)).size();
  ForEachMatch(SystemPath(prefix + "*"), [&](const WIN32_FIND_DATAW& found) {
    const std::wstring name = found.cFileName;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && name.size() > prefixLength &&
        IsTemporarySuffix(name.substr(prefixLength))) {
      Handle leftover(CreateFileW(
          SystemPath(FolderPartOf(path) + Narrow(name)).c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
          FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    }
    return true;
  });
}

// Creates a new temporary file beside the output, under a name no other run
// takes, marked for deletion until it is committed.
HANDLE CreateTemporaryBeside(const std::string& path, std::wstring& temporary) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    temporary = SystemPath(TemporaryPrefix(path) + RandomSuffix(path));
    HANDLE handle = CreateFileW(temporary.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE,
                                nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      return handle;
    }
    if (MarkForDeletion(handle, true)) return handle;
    const DWORD error = GetLastError();
    CloseHandle(handle);
    DeleteFileW(temporary.c_str());
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

std::string FolderPartOf(const std::string& path) {
  const auto separator = path.find_last_of("\\/:");
  return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

std::wstring SystemPath(const std::string& path) {
  std::wstring wide = Widen(path);
  if (wide.starts_with(LR"(\\?\)") || wide.starts_with(LR"(\\.\)")) return wide;
  const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return wide;
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  // The shortest limit: a folder's path leaves room for an 8.3 name in MAX_PATH.
  constexpr DWORD kLong = MAX_PATH - 12;
  if (length == 0 || length >= needed || length < kLong) return wide;
  full.resize(length);
  if (full.starts_with(LR"(\\)")) return LR"(\\?\UNC\)" + full.substr(2);
  return LR"(\\?\)" + full;
}

bool Win32Files::IsOrdinaryFile(const std::string& path) {
  if (path.empty()) return false;
  bool present = false;
  ForEachMatch(SystemPath(path), [&](const WIN32_FIND_DATAW& found) {
    present = IsOrdinary(found);
    return !present;
  });
  return present;
}

std::vector<std::string> Win32Files::ListOrdinaryFiles(const std::string& folder) {
  const bool endsWithSeparator = !folder.empty() && (folder.back() == '\\' || folder.back() == '/');
  const std::string pattern = folder + (endsWithSeparator ? "*" : "\\*");
  std::vector<std::string> names;
  const DWORD ended = ForEachMatch(SystemPath(pattern), [&](const WIN32_FIND_DATAW& found) {
    if (IsOrdinary(found)) names.push_back(Narrow(found.cFileName));
    return true;
  });
  // An existing folder with no entry at all (a drive's empty root) is empty, not missing.
  if (ended != ERROR_NO_MORE_FILES && ended != ERROR_FILE_NOT_FOUND) {
    throw Failure::InFile(FailureKind::InsetFolderMissing, folder,
                          "cannot list the inset folder: " + ErrorText(ended));
  }
  return names;
}

std::unique_ptr<ports::InputFile> Win32Files::OpenForReading(const std::string& path) {
  Handle handle(CreateFileW(SystemPath(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!handle.valid()) ThrowLastError(path, "cannot open", FailureKind::PictureUnreadable);
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(handle.get(), &size))
    ThrowLastError(path, "cannot open", FailureKind::PictureUnreadable);
  return std::make_unique<Win32InputFile>(path, handle.release(),
                                          static_cast<std::uint64_t>(size.QuadPart));
}

std::unique_ptr<ports::OutputFile> Win32Files::CreateReplacement(const std::string& path,
                                                                 std::uint64_t size) {
  RemoveLeftovers(path);
  std::wstring temporary;
  HANDLE handle = CreateTemporaryBeside(path, temporary);
  if (handle == INVALID_HANDLE_VALUE) ThrowLastError(path, "cannot create the output");
  auto output = std::make_unique<Win32OutputFile>(path, temporary, handle);
  // Sized up front, so that a full disk is found before any pixel is decoded.
  LARGE_INTEGER end{};
  end.QuadPart = static_cast<LONGLONG>(size);
  if (!SetFilePointerEx(handle, end, nullptr, FILE_BEGIN) || !SetEndOfFile(handle)) {
    ThrowLastError(path, "cannot size the output");
  }
  return output;
}

}  // namespace tessarin::windows_platform

#include "platform/win32/win32_files.h"

#include <windows.h>

#include <functional>
#include <random>
#include <utility>

#include "platform/failure.h"
#include "platform/win32/win32_text.h"

namespace tessarin::win32_platform {
namespace {

[[noreturn]] void ThrowLastError(const std::string& path, const std::string& doing) {
  throw Failure::InFile(path, doing + ": " + ErrorText(GetLastError()));
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

class Win32InputFile : public platform::InputFile {
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
        ThrowLastError(path_, "cannot read");
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

class Win32OutputFile : public platform::OutputFile {
 public:
  Win32OutputFile(std::string path, std::string temporary, HANDLE handle)
      : path_(std::move(path)), temporary_(std::move(temporary)), handle_(handle) {}
  ~Win32OutputFile() override {
    handle_.Close();
    if (!committed_) DeleteFileW(Widen(temporary_).c_str());
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

  void Commit() override {
    if (!FlushFileBuffers(handle_.get())) ThrowLastError(path_, "cannot flush");
    if (!MarkForDeletion(handle_.get(), false))
      ThrowLastError(path_, "cannot keep the written file");
    handle_.Close();
    if (!MoveFileExW(Widen(temporary_).c_str(), Widen(path_).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      ThrowLastError(path_, "cannot replace");
    }
    committed_ = true;
  }

 private:
  std::string path_;
  std::string temporary_;
  Handle handle_;
  bool committed_ = false;
};

std::string BaseNameOf(const std::string& path) { return path.substr(FolderPartOf(path).size()); }

// Creates a new temporary file beside the output, under a name no other run
// takes, marked for deletion until it is committed.
HANDLE CreateTemporaryBeside(const std::string& path, std::string& temporary) {
  static std::mt19937_64 generator{std::random_device{}() ^ GetTickCount64()};
  for (int attempt = 0; attempt < 8; ++attempt) {
    temporary = FolderPartOf(path) + "~" + BaseNameOf(path) + ".tessarin-part-" +
                std::to_string(generator() % 1000000000000ULL);
    HANDLE handle = CreateFileW(Widen(temporary).c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      return handle;
    }
    if (MarkForDeletion(handle, true)) return handle;
    const DWORD error = GetLastError();
    CloseHandle(handle);
    DeleteFileW(Widen(temporary).c_str());
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

bool Win32Files::IsOrdinaryFile(const std::string& path) {
  if (path.empty()) return false;
  bool present = false;
  ForEachMatch(Widen(path), [&](const WIN32_FIND_DATAW& found) {
    present = IsOrdinary(found);
    return !present;
  });
  return present;
}

std::vector<std::string> Win32Files::ListOrdinaryFiles(const std::string& folder) {
  const bool endsWithSeparator = !folder.empty() && (folder.back() == '\\' || folder.back() == '/');
  const std::string pattern = folder + (endsWithSeparator ? "*" : "\\*");
  std::vector<std::string> names;
  const DWORD ended = ForEachMatch(Widen(pattern), [&](const WIN32_FIND_DATAW& found) {
    if (IsOrdinary(found)) names.push_back(Narrow(found.cFileName));
    return true;
  });
  // An existing folder with no entry at all (a drive's empty root) is empty, not missing.
  if (ended != ERROR_NO_MORE_FILES && ended != ERROR_FILE_NOT_FOUND) {
    throw Failure::InFile(folder, "cannot list the inset folder: " + ErrorText(ended));
  }
  return names;
}

std::unique_ptr<platform::InputFile> Win32Files::OpenForReading(const std::string& path) {
  Handle handle(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!handle.valid()) ThrowLastError(path, "cannot open");
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(handle.get(), &size)) ThrowLastError(path, "cannot open");
  return std::make_unique<Win32InputFile>(path, handle.release(),
                                          static_cast<std::uint64_t>(size.QuadPart));
}

std::unique_ptr<platform::OutputFile> Win32Files::CreateReplacement(const std::string& path,
                                                                    std::uint64_t size) {
  std::string temporary;
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

}  // namespace tessarin::win32_platform

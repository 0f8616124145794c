#pragma once

#include <windows.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "windows/win32_text.h"

namespace tessarin::testing {

// A fresh folder under the system's temporary folder, removed with its contents.
class WindowsTemporaryFolder {
 public:
  WindowsTemporaryFolder() {
    wchar_t base[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, base);
    for (unsigned attempt = 0;; ++attempt) {
      const std::wstring candidate = std::wstring(base) + L"tessarin-test-" +
                                     std::to_wstring(GetCurrentProcessId()) + L"-" +
                                     std::to_wstring(GetTickCount64() + attempt);
      if (CreateDirectoryW(candidate.c_str(), nullptr)) {
        path_ = windows_platform::Narrow(candidate);
        return;
      }
      if (attempt > 100) throw std::runtime_error("cannot create a temporary folder");
    }
  }
  ~WindowsTemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(windows_platform::Widen(path_)), ignored);
  }
  WindowsTemporaryFolder(const WindowsTemporaryFolder&) = delete;
  WindowsTemporaryFolder& operator=(const WindowsTemporaryFolder&) = delete;

  // The folder as UTF-8, without a trailing separator.
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

// Writes the bytes to the file at the UTF-8 path, replacing it.
inline void WriteFileBytes(const std::string& path, const std::string& bytes,
                           DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
  HANDLE file = CreateFileW(windows_platform::Widen(path).c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, attributes, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + path);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

inline std::string ReadFileBytes(const std::string& path) {
  HANDLE file = CreateFileW(windows_platform::Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path);
  std::string bytes(GetFileSize(file, nullptr), '\0');
  DWORD read = 0;
  ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  bytes.resize(read);
  return bytes;
}

}  // namespace tessarin::testing

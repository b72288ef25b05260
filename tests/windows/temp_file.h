// Files in the temporary directory for the tests to hand to the program.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace vexpick::wintest {

// With a trailing backslash.
inline std::string TempDirectory() {
  char directory[MAX_PATH];
  GetTempPathA(MAX_PATH, directory);
  return directory;
}

// A file in the temporary directory, deleted at the end.
class TempFile {
 public:
  explicit TempFile(std::string_view contents) {
    char name[MAX_PATH];
    GetTempFileNameA(TempDirectory().c_str(), "vxp", 0, name);
    path_ = name;
    const HANDLE file = Open(GENERIC_WRITE, 0, CREATE_ALWAYS);
    DWORD written = 0;
    WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr);
    CloseHandle(file);
  }
  ~TempFile() { DeleteFileA(path_.c_str()); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  [[nodiscard]] const std::string& Path() const { return path_; }

  [[nodiscard]] HANDLE Open(DWORD access = GENERIC_READ, DWORD share = FILE_SHARE_READ,
                            DWORD disposition = OPEN_EXISTING) const {
    return CreateFileA(path_.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  // What the file holds now, up to 4 kB.
  [[nodiscard]] std::string Contents() const {
    const HANDLE file = Open(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    std::string contents(4096, '\0');
    DWORD read = 0;
    ReadFile(file, contents.data(), static_cast<DWORD>(contents.size()), &read, nullptr);
    CloseHandle(file);
    contents.resize(read);
    return contents;
  }

 private:
  std::string path_;
};

}  // namespace vexpick::wintest

#pragma once
// Page files written by the tests into a folder of their own.
#include <windows.h>

#include <string>

#include "common/Text.h"

namespace mf::test {

// A file in the temporary folder that is deleted with this object.
class ScratchPage {
 public:
  explicit ScratchPage(const std::string& bytes) {
    char dir[MAX_PATH] = {}, name[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    GetTempFileNameA(dir, "pgq", 0, name);
    path_ = FromAnsi(name);
    HANDLE f = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(f);
  }
  ~ScratchPage() { DeleteFileA(ToAnsi(path_).c_str()); }
  ScratchPage(const ScratchPage&) = delete;
  ScratchPage& operator=(const ScratchPage&) = delete;
  const std::wstring& Path() const { return path_; }

 private:
  std::wstring path_;
};

}  // namespace mf::test

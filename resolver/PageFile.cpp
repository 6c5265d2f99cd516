#include "resolver/PageFile.h"

#include <windows.h>

#include "common/AppPath.h"
#include "common/Handles.h"

namespace mf {

std::wstring PageFile(int number) {
  std::wstring folder = UserDataFolder();
  if (folder.empty()) {
    wchar_t temp[MAX_PATH + 1] = {};
    DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    folder.assign(temp, n > 0 && n <= MAX_PATH ? n - 1 : 0);  // without its backslash
  }
  // The transfer writes the page without making folders.
  CreateDirectoryW(folder.c_str(), nullptr);
  if (number > 0) return folder + L"\\Parse " + std::to_wstring(number) + L".pgq";
  return folder + L"\\Parse.pgq";
}

std::optional<std::string> ReadPageFile(const std::wstring& path) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxPageBytes) return std::nullopt;
  std::string text(static_cast<size_t>(size.QuadPart), '\0');
  size_t done = 0;
  while (done < text.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1 << 20));
    DWORD got = 0;
    if (!ReadFile(file.get(), text.data() + done, chunk, &got, nullptr)) return std::nullopt;
    if (got == 0) break;  // the file shrank meanwhile
    done += got;
  }
  text.resize(done);
  return text;
}

}  // namespace mf

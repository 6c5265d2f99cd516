#include "common/WholeFile.h"

#include <algorithm>

#include "common/Handles.h"

namespace mf {
namespace {

constexpr DWORD kChunk = 1u << 20;

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size(), kChunk));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), piece, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

bool WriteNewFile(const std::wstring& path, std::string_view bytes) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  // FlushFileBuffers: the bytes are on the disk before the rename can be.
  return WriteAll(file.get(), bytes) && FlushFileBuffers(file.get());
}

}  // namespace

std::wstring NewFileName(const std::wstring& path) { return path + L".new"; }

std::optional<std::string> ReadWholeFile(const std::wstring& path, size_t maxBytes, DWORD& error) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.get(), &size)) {
    error = GetLastError();
    return std::nullopt;
  }
  if (static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
    error = ERROR_FILE_TOO_LARGE;
    return std::nullopt;
  }
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  size_t have = 0;
  while (have < bytes.size()) {
    DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size() - have, kChunk));
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes.data() + have, piece, &read, nullptr)) {
      error = GetLastError();
      return std::nullopt;
    }
    if (read == 0) break;  // shorter than its size said: what is there is read
    have += read;
  }
  bytes.resize(have);
  error = ERROR_SUCCESS;
  return bytes;
}

bool ReplaceWholeFile(const std::wstring& path, std::string_view bytes) {
  const std::wstring fresh = NewFileName(path);
  // MoveFileEx rather than ReplaceFile: it also works when there is no old
  // file yet, and on one volume it is a single rename. WRITE_THROUGH: it
  // returns once the rename itself is on the disk.
  if (WriteNewFile(fresh, bytes) &&
      MoveFileExW(fresh.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  DeleteFileW(fresh.c_str());
  return false;
}

}  // namespace mf

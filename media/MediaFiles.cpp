#include "media/MediaFiles.h"

#include <algorithm>

#include "media/Bytes.h"

namespace mf::media {
namespace {

constexpr size_t kPiece = 1 << 20;

bool Seek(HANDLE file, uint64_t position) {
  LARGE_INTEGER to{};
  to.QuadPart = LONGLONG(position);
  return SetFilePointerEx(file, to, nullptr, FILE_BEGIN);
}

[[noreturn]] void ThrowWriteFailed() {
  DWORD error = GetLastError();
  throw OutputError(error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL
                        ? L"the disk is full"
                        : L"the movie file cannot be written (Windows error " +
                              std::to_wstring(error) + L")");
}

}  // namespace

InFile::InFile(const std::wstring& path)
    : file_(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr)) {
  LARGE_INTEGER size{};
  if (!file_ || !GetFileSizeEx(file_.get(), &size))
    throw FormatError(L"its file cannot be opened (Windows error " +
                      std::to_wstring(GetLastError()) + L")");
  size_ = uint64_t(size.QuadPart);
}

std::string InFile::ReadUpTo(uint64_t offset, size_t length) const {
  if (offset >= size_) return {};
  std::string bytes(size_t(std::min<uint64_t>(length, size_ - offset)), '\0');
  size_t have = 0;
  if (!Seek(file_.get(), offset)) throw FormatError(L"its file cannot be read");
  while (have < bytes.size()) {
    DWORD piece = DWORD(std::min(bytes.size() - have, kPiece));
    DWORD read = 0;
    if (!ReadFile(file_.get(), bytes.data() + have, piece, &read, nullptr) || read == 0)
      throw FormatError(L"its file cannot be read");
    have += read;
  }
  return bytes;
}

std::string InFile::Read(uint64_t offset, size_t length) const {
  std::string bytes = ReadUpTo(offset, length);
  if (bytes.size() != length) throw FormatError(L"it ends before the data it announces");
  return bytes;
}

void InFile::CopyTo(uint64_t offset, uint64_t length, OutFile& out) const {
  while (length > 0) {
    size_t piece = size_t(std::min<uint64_t>(length, kPiece));
    out.Write(Read(offset, piece));
    offset += piece;
    length -= piece;
  }
}

OutFile::OutFile(const std::wstring& path)
    : file_(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr)) {
  if (!file_) ThrowWriteFailed();
}

void OutFile::Write(std::string_view bytes) {
  buffer_.append(bytes);
  if (buffer_.size() >= kPiece) Flush();
}

void OutFile::WriteAt(uint64_t position, std::string_view bytes) {
  Flush();
  DWORD done = 0;
  if (!Seek(file_.get(), position) ||
      !WriteFile(file_.get(), bytes.data(), DWORD(bytes.size()), &done, nullptr) ||
      done != bytes.size() || !Seek(file_.get(), written_))
    ThrowWriteFailed();
}

void OutFile::Flush() {
  std::string_view rest = buffer_;
  while (!rest.empty()) {
    DWORD done = 0;
    if (!WriteFile(file_.get(), rest.data(), DWORD(rest.size()), &done, nullptr) || done == 0)
      ThrowWriteFailed();
    rest.remove_prefix(done);
    written_ += done;
  }
  buffer_.clear();
}

void OutFile::Close() {
  Flush();
  if (!FlushFileBuffers(file_.get())) ThrowWriteFailed();
  file_.reset();
}

}  // namespace mf::media

#pragma once
// The files a movie is joined from and written to, read and written a piece
// at a time so that memory stays small whatever the length of the movie.
// Paths are UTF-16 and go to the wide entry points.
#include <cstdint>
#include <string>
#include <string_view>

#include "common/Handles.h"

namespace mf::media {

class OutFile;

// A segment on disk; reads throw FormatError when the file is shorter than asked.
class InFile {
 public:
  explicit InFile(const std::wstring& path);
  uint64_t Size() const { return size_; }
  std::string Read(uint64_t offset, size_t length) const;
  // At most `length` bytes from `offset`: fewer only at the end of the file.
  std::string ReadUpTo(uint64_t offset, size_t length) const;
  void CopyTo(uint64_t offset, uint64_t length, OutFile& out) const;

 private:
  UniqueFile file_;
  uint64_t size_ = 0;
};

// The movie being written; every failure throws OutputError.
class OutFile {
 public:
  explicit OutFile(const std::wstring& path);
  void Write(std::string_view bytes);
  // Replaces bytes already written (the moov's durations, known at the end).
  void WriteAt(uint64_t position, std::string_view bytes);
  uint64_t Position() const { return written_ + buffer_.size(); }
  void Close();

 private:
  void Flush();
  UniqueFile file_;
  std::string buffer_;
  uint64_t written_ = 0;
};

}  // namespace mf::media

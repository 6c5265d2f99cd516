#pragma once
// Whole files as bytes, for tests that put a file in place or look at one.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace mf::test {

inline std::string ReadFileBytes(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
  out << bytes;
}

}  // namespace mf::test

#pragma once
// Whole files as bytes, for tests that put a file in place or look at one.
#include <fstream>
#include <sstream>
#include <string>

#include "common/Text.h"

namespace mf::test {

inline std::string ReadFileBytes(const std::wstring& path) {
  std::ifstream in(ToAnsi(path), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(ToAnsi(path), std::ios::binary | std::ios::trunc);
  out << bytes;
}

}  // namespace mf::test

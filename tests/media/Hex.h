#pragma once
// Bytes written as hexadecimal in the tables of the media tests.
#include <string>
#include <string_view>

namespace mf::media::test {

inline std::string Hex(std::string_view hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    if (hex[i] == ' ') {
      --i;
      continue;
    }
    bytes.push_back(char(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return bytes;
}

}  // namespace mf::media::test

#include "monitor/clip/AddressFilter.h"

#include <cctype>

namespace mf::clip {

bool SingleWebAddress(const std::string& text, std::string& address) {
  const char* space = " \t\r\n\v\f";
  size_t b = text.find_first_not_of(space);
  if (b == std::string::npos) return false;
  size_t e = text.find_last_not_of(space);
  std::string t = text.substr(b, e - b + 1);
  if (t.find_first_of(space) != std::string::npos) return false;
  // Addresses are limited to what the list and the grid can use.
  if (t.size() > 2048) return false;
  std::string lower = t;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  size_t schemeEnd;
  if (lower.rfind("http://", 0) == 0) {
    schemeEnd = 7;
  } else if (lower.rfind("https://", 0) == 0) {
    schemeEnd = 8;
  } else {
    return false;
  }
  size_t hostEnd = t.find_first_of("/?#", schemeEnd);
  std::string host =
      t.substr(schemeEnd, hostEnd == std::string::npos ? std::string::npos : hostEnd - schemeEnd);
  if (host.empty()) return false;
  for (unsigned char c : host)
    if (c < 0x21 || c == '"' || c == '<' || c == '>') return false;
  address = t;
  return true;
}

}  // namespace mf::clip

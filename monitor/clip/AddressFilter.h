#pragma once
// Which clipboard texts the watcher passes on.
#include <string>

namespace mf::clip {

// True when the text, leading and trailing white space removed, is one web
// address ("http://" or "https://", a host, no white space inside); `address`
// then gets it without the surrounding white space.
bool SingleWebAddress(const std::string& text, std::string& address);

}  // namespace mf::clip

#pragma once
// The name a server gives a file: its Content-Disposition header, else the
// last segment of the file's address.
#include <string>
#include <string_view>

namespace mf {

// The file name of a Content-Disposition header value (RFC 6266):
// "filename*" (RFC 5987: UTF-8 or ISO-8859-1, language ignored) before
// "filename" (a token or a quoted string with backslash escapes). Only the
// last part of a name with "/" or "\" is kept, so a server cannot place a
// file elsewhere. Empty when the value names no file.
std::wstring FileNameFromContentDisposition(std::wstring_view headerValue);

// The last segment of the address's path, percent-decoded as UTF-8; query
// and fragment ignored. Empty when the path ends in "/" or has none.
std::wstring FileNameFromAddress(std::wstring_view address);

}  // namespace mf

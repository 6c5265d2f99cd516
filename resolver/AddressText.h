#pragma once
// Addresses cut out of pages or typed by the user, made fit for the wire.
// Page text is single-byte text of unknown encoding; an address taken from it
// may hold bytes that are not ASCII, control characters or blanks. Passing
// those on would send a different address (the ANSI round trip is lossy) or
// let a page break into a request line, so they travel percent-encoded.
#include <string>
#include <string_view>

namespace mf {

// ASCII letters folded to lower case; every other byte kept.
std::string AsciiLower(std::string_view bytes);

// The bytes as an address: every byte outside '!'..'~' becomes %XX; the
// others are kept. Normal addresses come back unchanged.
std::wstring AddressFromBytes(std::string_view bytes);

// A typed address for the wire: characters outside '!'..'~' become the
// percent-encoded bytes of their UTF-8 form, as browsers send them.
std::wstring AddressForWire(std::wstring_view text);

}  // namespace mf

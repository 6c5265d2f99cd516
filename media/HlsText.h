#pragma once
// The pieces of an HLS playlist's text: its lines, its tags and their
// attribute lists (RFC 8216 section 4), shared by master and media playlists.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "media/ReadResult.h"

namespace mf::media {

// The playlist's bytes as text, after checking its size and its first line
// ("#EXTM3U"); a UTF-8 byte order mark is skipped.
ReadResult<std::wstring> PlaylistText(std::string_view bytes);
// Its lines without their ends and surrounding blanks; empty lines left out.
std::vector<std::wstring_view> PlaylistLines(std::wstring_view text);

// "#EXT-X-KEY:METHOD=NONE": whether the line is the tag, and its value.
bool IsTag(std::wstring_view line, std::wstring_view tag, std::wstring_view* value = nullptr);

// NAME=value,NAME="quoted, value": quoted values without their quotes.
using HlsAttributes = std::vector<std::pair<std::wstring, std::wstring>>;
HlsAttributes ParseAttributes(std::wstring_view text);
// The attribute's value; empty when absent.
std::wstring Attribute(const HlsAttributes& attributes, std::wstring_view name);
bool HasAttribute(const HlsAttributes& attributes, std::wstring_view name);

// Whether an EXT-X-KEY or EXT-X-SESSION-KEY names a kind of protection that
// cannot be saved: SAMPLE-AES, SAMPLE-AES-CTR, or a key format other than "identity".
bool IsProtectedKey(const HlsAttributes& key);

// "The playlist cannot be read: <why>".
ReadFailure PlaylistUnreadable(std::wstring_view why);

}  // namespace mf::media

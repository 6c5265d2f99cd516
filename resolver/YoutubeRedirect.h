#pragma once
// The raw request for a YouTube player address and the cutting of the
// redirection the server answers with.
#include <string>
#include <string_view>

namespace mf {

// The request, line by line with CR LF, ended by an empty line. Header line 5
// is written as the site has always been sent it.
std::string BuildYoutubeRequest(std::string_view host, std::string_view path);

// Answers are read up to the end of their header block or this many bytes,
// whichever comes first: the Location line must end within it.
constexpr size_t kMaxYoutubeAnswer = 32767;

// True when the answer holds its whole header block (an empty line), so no
// more needs to be read.
bool HasWholeHeader(std::string_view answer);

// "/get_video" + the query of the Location target ("?" included); empty text
// when there is no Location header, its line does not end within the answer,
// or its target has no "?".
std::wstring CutYoutubeRedirect(std::string_view answer);

}  // namespace mf

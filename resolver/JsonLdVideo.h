#pragma once
// Video addresses in JSON-LD, the structured data pages put in
// <script type="application/ld+json">.
#include <string>
#include <string_view>
#include <vector>

namespace mf {

// The contentUrl (or an embedUrl that is a media file or a stream) of every
// VideoObject (an object whose "@type" is, or lists, "VideoObject", also as
// "schema:VideoObject" or a schema.org address) at any depth: in arrays, in "@graph", inside other
// objects. In the order the objects begin. Objects complete before a syntax error still count;
// nesting deeper than 64 levels ends the reading there.
std::vector<std::wstring> JsonLdVideoAddresses(std::wstring_view json);

}  // namespace mf

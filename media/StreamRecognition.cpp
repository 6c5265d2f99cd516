#include "media/StreamRecognition.h"

#include <string>

#include "common/Text.h"
#include "common/Uri.h"

namespace mf::media {
namespace {

bool EndsWith(std::wstring_view text, std::wstring_view ending) {
  return text.size() >= ending.size() && text.substr(text.size() - ending.size()) == ending;
}

bool StartsWith(std::string_view text, std::string_view start) {
  return text.substr(0, start.size()) == start;
}

std::string_view SkipBlanks(std::string_view text) {
  while (!text.empty() && (text[0] == ' ' || text[0] == '\t' || text[0] == '\r' || text[0] == '\n'))
    text.remove_prefix(1);
  return text;
}

// Past "<?...?>", "<!-- -->" and "<!DOCTYPE ...>" to the first element.
std::string_view SkipXmlProlog(std::string_view text) {
  for (text = SkipBlanks(text);; text = SkipBlanks(text)) {
    std::string_view end;
    if (StartsWith(text, "<?"))
      end = "?>";
    else if (StartsWith(text, "<!--"))
      end = "-->";
    else if (StartsWith(text, "<!"))
      end = ">";
    else
      return text;
    size_t at = text.find(end);
    if (at == std::string_view::npos) return {};
    text.remove_prefix(at + end.size());
  }
}

bool IsMpdElement(std::string_view text) {
  if (!StartsWith(text, "<")) return false;
  size_t nameEnd = text.find_first_of(" \t\r\n/>");
  if (nameEnd == std::string_view::npos) return false;
  std::string_view name = text.substr(1, nameEnd - 1);
  size_t colon = name.rfind(':');
  return name.substr(colon == std::string_view::npos ? 0 : colon + 1) == "MPD";
}

bool HasLineStarting(std::string_view text, std::string_view start) {
  for (size_t at = 0; at < text.size();) {
    if (StartsWith(text.substr(at), start)) return true;
    size_t next = text.find('\n', at);
    if (next == std::string_view::npos) break;
    at = next + 1;
  }
  return false;
}

}  // namespace

StreamFormat StreamFormatOfAddress(std::wstring_view address) {
  std::wstring path = AsciiLowerText(ParseUriReference(address).path);
  if (EndsWith(path, L".m3u8")) return StreamFormat::Hls;
  if (EndsWith(path, L".mpd")) return StreamFormat::Dash;
  return StreamFormat::None;
}

StreamFormat StreamFormatOfContentType(std::wstring_view contentType) {
  std::wstring type = AsciiLowerText(TrimSpaces(contentType.substr(0, contentType.find(L';'))));
  if (type == L"application/vnd.apple.mpegurl" || type == L"application/x-mpegurl" ||
      type == L"audio/mpegurl")
    return StreamFormat::Hls;
  if (type == L"application/dash+xml") return StreamFormat::Dash;
  return StreamFormat::None;
}

ManifestKind ManifestKindOfText(std::string_view text) {
  if (StartsWith(text, "\xEF\xBB\xBF")) text.remove_prefix(3);
  std::string_view start = SkipBlanks(text);
  if (StartsWith(start, "#EXTM3U"))
    return HasLineStarting(start, "#EXT-X-STREAM-INF") ? ManifestKind::HlsMaster
                                                       : ManifestKind::HlsMedia;
  return IsMpdElement(SkipXmlProlog(start)) ? ManifestKind::Dash : ManifestKind::Neither;
}

}  // namespace mf::media

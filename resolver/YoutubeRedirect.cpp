#include "resolver/YoutubeRedirect.h"

#include "resolver/AddressText.h"

namespace mf {

std::string BuildYoutubeRequest(std::string_view host, std::string_view path) {
  std::string r;
  r.reserve(512 + host.size() + path.size());
  r.append("GET ").append(path).append(" HTTP/1.1\r\n");
  r.append("Host: ").append(host).append("\r\n");
  r.append(
      "Accept: text/xml,application/xml,application/xhtml+xml,text/html;q=0.9,text/plain;q=0.8,"
      "image/png,*/*;q=0.5\r\n");
  r.append(
      "User-Agent: Mozilla/5.0 (Windows; U; Windows NT 5.1; en-US; rv:1.8.1.9) Gecko/20071025 "
      "Firefox/2.0.0.9\r\n");
  r.append("Accept -Encoding: gzip , deflate\r\n");
  r.append("Accept-Language: en-us,en;q=0.5\r\n");
  r.append("Accept-Charset: ISO-8859-1,utf-8;q=0.7,*;q=0.7\r\n");
  r.append("Connection: Close\r\n");
  r.append("\r\n");
  return r;
}

bool HasWholeHeader(std::string_view answer) {
  return answer.find("\r\n\r\n") != std::string_view::npos;
}

std::wstring CutYoutubeRedirect(std::string_view answer) {
  if (answer.size() > kMaxYoutubeAnswer) answer = answer.substr(0, kMaxYoutubeAnswer);
  // Only the header block counts: a body may quote anything.
  if (size_t end = answer.find("\r\n\r\n"); end != std::string_view::npos)
    answer = answer.substr(0, end + 2);
  const std::string lower = AsciiLower(answer);
  // The header named Location, at the start of a line (not Content-Location).
  size_t at = lower.find("\r\nlocation:");
  if (at == std::string::npos) return {};
  size_t begin = at + 11;
  size_t lineEnd = answer.find("\r\n", begin);
  if (lineEnd == std::string_view::npos) return {};
  // Blanks around the value are not part of it (one follows the colon by custom).
  auto blank = [&answer](size_t i) { return answer[i] == ' ' || answer[i] == '\t'; };
  while (begin < lineEnd && blank(begin)) ++begin;
  while (lineEnd > begin && blank(lineEnd - 1)) --lineEnd;
  std::string_view target = answer.substr(begin, lineEnd - begin);
  size_t query = target.find('?');
  if (query == std::string_view::npos) return {};
  return L"/get_video" + AddressFromBytes(target.substr(query));
}

}  // namespace mf

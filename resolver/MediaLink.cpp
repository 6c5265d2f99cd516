#include "resolver/MediaLink.h"

#include <cwctype>
#include <string>

#include "common/Uri.h"
#include "media/StreamRecognition.h"

namespace mf {
namespace {

constexpr std::wstring_view kMediaExtensions[] = {L".mp4", L".m4v",  L".webm", L".mkv", L".mov",
                                                  L".flv", L".avi",  L".ogv",  L".mp3", L".m4a",
                                                  L".ogg", L".opus", L".wav",  L".ts"};

bool EndsWithNoCase(std::wstring_view text, std::wstring_view ending) {
  if (text.size() < ending.size()) return false;
  text = text.substr(text.size() - ending.size());
  for (size_t i = 0; i < ending.size(); ++i) {
    wchar_t c = text[i];
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    if (c != ending[i]) return false;
  }
  return true;
}

}  // namespace

bool IsMediaLink(std::wstring_view address) {
  return IsMediaFileName(ParseUriReference(address).path);
}

bool IsMediaFileName(std::wstring_view name) {
  for (std::wstring_view extension : kMediaExtensions)
    if (EndsWithNoCase(name, extension)) return true;
  return false;
}

bool IsStreamLink(std::wstring_view address) {
  return media::StreamFormatOfAddress(address) != media::StreamFormat::None;
}

bool IsMediaAnswer(std::wstring_view contentType, std::wstring_view finalAddress) {
  const auto starts = [&](std::wstring_view prefix) {
    if (contentType.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
      if (towlower(contentType[i]) != prefix[i]) return false;
    return true;
  };
  return starts(L"video/") || starts(L"audio/") ||
         media::StreamFormatOfContentType(contentType) != media::StreamFormat::None ||
         IsMediaLink(finalAddress) || IsStreamLink(finalAddress);
}

}  // namespace mf

// Naming a video file from its link and the server's answer about it.
#include "transfer/LocalFileInfo.h"

#include "common/ContentDisposition.h"
#include "common/Text.h"
#include "downloadlist/FileText.h"
#include "resolver/Sites.h"
#include "transfer/ItemRun.h"
#include "transfer/QueueDriver.h"

namespace mf {
namespace {

constexpr size_t kMaxNameLength = 100;
constexpr size_t kExtensionLength = 4;

// The first `length - 4` characters and the last four: the extension stays.
std::wstring CutKeepingExtension(const std::wstring& name, size_t length) {
  if (name.size() <= length) return name;
  return name.substr(0, length - kExtensionLength) + name.substr(name.size() - kExtensionLength);
}

}  // namespace

void ItemRun::GetLocalFileInfo(const std::wstring& sLink, int16_t siteId,
                               const std::function<void(const LocalFileInfo&)>& done) {
  Download.SetUrl(sLink);
  informed_ = [this, sLink, siteId, done] { done(NameFromInformation(sLink, siteId)); };
  if (!Download.RequestInformation()) informed_ = nullptr;
}

LocalFileInfo ItemRun::NameFromInformation(const std::wstring& sLink, int16_t siteId) {
  LocalFileInfo info;
  const Site* site = FindSite(siteId);
  // The server's name as it meant it (RFC 6266 and 5987: quotes, escapes and
  // UTF-8 undone); else, for the five sites, the raw text after "filename="
  // as always, and for the others the address's last segment.
  std::wstring name = Download.RemoteFileNameDecoded();
  if (name.empty())
    name = site && site->namesFromHeader ? FileNameFromAddress(sLink) : Download.RemoteFileName();
  // Its size as the information request gave it (the design's float), also
  // for an error page; -1 is a file without a length, or no file at all.
  const float size = Download.FileSize();
  // A server too busy to answer said nothing of the file: the transfer will.
  const int status = Download.InformationStatus();
  const bool busy = status == 503 || status == 429;
  info.Size = size != -1                      ? SizeKnown::Length
              : Download.FileExists() || busy ? SizeKnown::NoLength
                                              : SizeKnown::NoFile;
  if (size != -1) info.FileLength = static_cast<int64_t>(size);

  const std::wstring tail = LowerCase(
      sLink.size() > kExtensionLength ? sLink.substr(sLink.size() - kExtensionLength) : sLink);
  const bool videoTail = tail == L".flv" || tail == L".wmv";
  if ((name.empty() || videoTail) && !(site && site->namesFromHeader)) {
    size_t slash = sLink.rfind(L'/');
    std::wstring last = slash == std::wstring::npos ? sLink : sLink.substr(slash + 1);
    name = videoTail && slash != std::wstring::npos ? last : CheckFileName(last);
  }
  // Some sites serve their videos under names without the extension.
  if (site) name += site->extension;
  name = CutKeepingExtension(name, kMaxNameLength);
  if (site && site->nameLimit > 0) name = CutKeepingExtension(name, site->nameLimit);
  // The name comes from the server: it must not turn the download into a
  // write to a device or outside the download folder, nor hide what it is.
  info.FileName = SafeFileName(CleanFileName(name, FileNameFromAddress(sLink)));
  return info;
}

}  // namespace mf

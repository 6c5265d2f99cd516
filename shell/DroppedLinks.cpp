// Links and text dropped on the main window become items of the list.
#include <windows.h>

#include <string>

#include "resolver/SiteId.h"
#include "shell/Program.h"

namespace mf {
namespace {

std::wstring Trimmed(const std::wstring& line) {
  const size_t first = line.find_first_not_of(L" \t");
  if (first == std::wstring::npos) return {};
  return line.substr(first, line.find_last_not_of(L" \t") - first + 1);
}

std::wstring NotAddedNotice(int unsupported, int lines) {
  if (lines == 1)
    return L"The dropped text is not the address of a video page on a supported site, so it "
           L"was not added.";
  return std::to_wstring(unsupported) + L" of the " + std::to_wstring(lines) +
         L" dropped lines are not addresses of video pages on supported sites and were not "
         L"added.";
}

}  // namespace

void frmMain::OnLinksDropped() {
  for (const std::wstring& text : linkDrop_.TakeDropped()) AddDroppedLinks(text);
}

void frmMain::AddDroppedLinks(const std::wstring& text) {
  int lines = 0, unsupported = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of(L"\r\n", start);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring line = Trimmed(text.substr(start, end - start));
    start = end + 1;
    if (line.empty()) continue;
    ++lines;
    // One message for them all, not a box for each.
    if (GetSiteID(line) == siteUnsupported)
      ++unsupported;
    else
      app_.gridView.AddURLToList(line);
  }
  if (unsupported) SetFlashVariable(L"_root.notice", NotAddedNotice(unsupported, lines));
}

}  // namespace mf

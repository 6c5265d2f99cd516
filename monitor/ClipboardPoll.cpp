// The second way of monitoring: a timer that reads the clipboard every two
// seconds while the hidden check box has it switched on.
#include <windows.h>

#include <optional>
#include <string>

#include "common/ClipboardText.h"
#include "monitor/ClipboardMonitor.h"
#include "resolver/SiteId.h"

namespace mf {
namespace {

// The clipboard's plain text; empty when it holds none. No value at all when
// another program holds the clipboard open right now.
std::optional<std::wstring> ReadClipboardText() {
  // The system offers ANSI text as Unicode text too.
  if (!IsClipboardFormatAvailable(CF_UNICODETEXT)) return std::wstring();
  if (!OpenClipboard(nullptr)) return std::nullopt;
  std::wstring text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) text = ClipboardBlockText(data);
  CloseClipboard();
  return text;
}

}  // namespace

void ClipboardMonitor::chkMonitor_Click() {
  LastClipboardText.clear();
  host_.SetPolling(!host_.IsPolling());
  MonitorOn = host_.IsPolling();
}

// One poll. An address the program downloads without asking (a page of the
// five sites or a direct media link) that differs from the previous poll's
// text is added and downloading starts at once when no run is under way.
void ClipboardMonitor::CallMonTimer() {
  std::optional<std::wstring> read = ReadClipboardText();
  // A clipboard held open elsewhere is read at the next tick: taking it for
  // empty would make the unchanged address look new then.
  if (!read) return;
  const std::wstring text = std::move(*read);
  if (text == LastClipboardText || !IsAutomaticAddress(text)) {
    LastClipboardText = text;
    return;
  }
  host_.AddURLToList(text);
  host_.AddressTaken(text, false);
  LastClipboardText = text;
  if (!host_.IsDownloading()) host_.StartDownloadNow();
}

}  // namespace mf

#pragma once
// One entry of the Download list, as the program knows it: where it stands,
// what is known of its file, why it failed. The texts the list shows
// ("Waiting", "Preparing (5%)", "ERROR", "12 MB", "????"...) are made from
// these by the program's presenter; nothing here is a text for the screen.
#include <cstdint>
#include <string>
#include <vector>

namespace mf {

// Where an item stands.
enum class ItemState : uint8_t {
  Waiting,      // to be downloaded by the next run
  Unsupported,  // added as no page of a supported site
  Preparing,    // its page arrives (Progress: the page's percentage, -1 past 100)
  Prepared,     // its page is in; its file is being asked about
  Arriving,     // its file arrives (Received bytes of it)
  Retrying,     // a failure that may pass: the next try comes (Progress: which)
  Complete,
  Failed,
  Cancelled,
};

// Why an item failed, where that changes what its row says.
enum class ItemFailure : uint8_t {
  None,             // no particular way: Reason says why, when anything does
  SiteUnsupported,  // the page address's site is not supported
  NoVideo,          // a page of the five old sites without its video
  NoVideoOnPage,    // any other page without a video
};

// What is known of the file's length.
enum class SizeKnown : uint8_t {
  NotAsked,  // the server was not asked yet
  Length,    // FileLength bytes, as the server said
  NoLength,  // the file is there, its length was not told
  NoFile,    // the server knew neither the file nor its length
  Segments,  // a stream of segments whose sizes are not told: Progress counts them
};

struct DownloadItem {
  // Stays with the item for its whole life, whatever moves or goes around it;
  // never 0, never given to another item of the same list.
  uint32_t Key = 0;
  int16_t ID = 0;          // position + 1
  std::wstring Video_URL;  // the page address the user gave
  std::wstring FileName;   // the local file's name; empty while none is known
  ItemState State = ItemState::Waiting;
  int Progress = 0;  // Preparing: the page's percentage; Retrying: the try
  SizeKnown Size = SizeKnown::NotAsked;
  int64_t FileLength = -1;  // when Size is Length
  int64_t Received = 0;     // Arriving: bytes of the file so far
  ItemFailure Failure = ItemFailure::None;
  std::wstring Reason;  // why it failed, in the user's words; empty when nothing says
  // The partial file the item's transfer writes ("<final name>.part" in the
  // download folder), once one has started; it is this item's own.
  std::wstring PartFile;
  // What the server said of the file whose bytes the partial file holds: the
  // partial file is continued only while the server still says the same.
  std::wstring PartETag;
  std::wstring PartModified;  // its Last-Modified
  int64_t PartLength = -1;    // the whole file's length in bytes; -1 when not known
};

using DownloadItems = std::vector<DownloadItem>;

// The list holds at most this many items: IDs are 16-bit signed.
constexpr size_t kMaxItems = 32767;

}  // namespace mf

#pragma once
// Every text an item's row shows, as the program's presenter writes them and
// as old list files hold them.
namespace mf::vocab {

// Status
inline constexpr wchar_t kWaiting[] = L"Waiting";
inline constexpr wchar_t kLinkNotSupported[] = L"Link is not supported";
inline constexpr wchar_t kPreparingStart[] = L"Preparing (0%)";
inline constexpr wchar_t kPreparingOpen[] = L"Preparing (";  // + progress + kPreparingClose
inline constexpr wchar_t kPreparingClose[] = L"%)";
inline constexpr wchar_t kPreparingMore[] = L"Preparing...";
inline constexpr wchar_t kStartDownloading[] = L"Start Downloading...";
inline constexpr wchar_t kSoFar[] = L" so far..";  // appended to a size text
inline constexpr wchar_t kComplete[] = L"Complete";
inline constexpr wchar_t kCancelled[] = L"Cancelled";
inline constexpr wchar_t kError[] = L"ERROR";
inline constexpr wchar_t kRetryingOpen[] = L"Retrying (";  // + try + " of " + tries + ")..."

// FileName
inline constexpr wchar_t kAutoDetect[] = L"Waiting (Auto Detect)";
inline constexpr wchar_t kNameError[] = L"ERROR";
inline constexpr wchar_t kUnsupportedLink[] = L"Un supported link";
inline constexpr wchar_t kProcessFailed[] = L"Process failed.";
inline constexpr wchar_t kEnterFileName[] = L"Enter File Name";

// Video_URL
inline constexpr wchar_t kInappropriate[] = L"Video may be inappropriate and can not be downloaded";

// FileSize
inline constexpr wchar_t kUnknownSize[] = L"????";
inline constexpr wchar_t kSizeWithoutLength[] = L"0";
inline constexpr wchar_t kSizeWithoutFile[] = L"-1 Bytes";  // neither the file nor its length

}  // namespace mf::vocab

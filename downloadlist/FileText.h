#pragma once
// Text helpers that every writer of item fields uses.
#include <string>

namespace mf {

// Bytes as " Bytes", " KB", " MB" or " GB" text with one decimal at most,
// rounded half to even, in the user's decimal separator; empty from 2^40 on.
std::wstring FormatFileSize(float bytes);

// Removes \ / : * ? " < > | & from a file name; "Enter File Name" when
// nothing is left.
std::wstring CheckFileName(const std::wstring& value);

// A file name that stays a file in the download folder: a device name (CON,
// PRN, AUX, NUL, COM1-9, LPT1-9, with any extension) or a name of only dots
// and blanks gets a "_" in front; any other name is returned unchanged.
std::wstring SafeFileName(const std::wstring& name);

// The longest path the platform's file calls take: MAX_PATH less its NUL.
inline constexpr size_t kMaxPathLength = 259;

// `name` cut at its end, its extension kept, so that folder + "\" + name and
// `extra` characters more stay within kMaxPathLength; unchanged when it fits.
// Empty when the folder leaves no room for one character before the extension.
// A cut name does not end in a blank or a dot.
std::wstring FitFileName(const std::wstring& folder, const std::wstring& name, size_t extra);

}  // namespace mf

#pragma once
// Text helpers that every writer of item fields uses.
#include <string>

namespace mf {

// Bytes as " Bytes", " KB", " MB" or " GB" text with one decimal at most,
// rounded half to even, in the user's decimal separator; empty from 2^40 on.
std::wstring FormatFileSize(float bytes);

// Removes \ / : * ? " < > | & from a file name, and every character that
// no name may hold or that hides what a name is: the controls U+0000 to
// U+001F and U+007F, and the bidirectional marks and overrides. "Enter File
// Name" when nothing is left.
std::wstring CheckFileName(const std::wstring& value);

// The one cleaner of every name, wherever it comes from (a server, an
// address, a page, the list's file, the user): CheckFileName's removals,
// leading blanks and trailing dots and blanks dropped (the system drops the
// latter silently), and a name left without a base before its extension
// given `fallback`'s (a name taken from the address) or "video".
std::wstring CleanFileName(const std::wstring& value, const std::wstring& fallback);

// A file name that stays a file in the download folder: a device name (CON,
// PRN, AUX, NUL, COM0-9, LPT0-9 and the two with superscript digits, CONIN$
// and CONOUT$, with any extension) or a name of only dots and blanks gets a
// "_" in front; any other name is returned unchanged. Applied to a name once
// it has been cut to its final length.
std::wstring SafeFileName(const std::wstring& name);

// What a file's name has while it arrives: "<final name>.part".
inline constexpr wchar_t kPartSuffix[] = L".part";

// The longest path the platform's file calls take: MAX_PATH less its NUL.
inline constexpr size_t kMaxPathLength = 259;

// `name` cut at its end, its extension kept, so that folder + "\" + name and
// `extra` characters more stay within kMaxPathLength; unchanged when it fits.
// Empty when the folder leaves no room for one character before the extension.
// A cut name does not end in a blank or a dot.
std::wstring FitFileName(const std::wstring& folder, const std::wstring& name, size_t extra);

}  // namespace mf

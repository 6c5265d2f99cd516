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

}  // namespace mf

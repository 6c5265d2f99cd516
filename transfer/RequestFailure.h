#pragma once
// Why a request failed, in the user's words.
#include <windows.h>

#include <string>

#include "transfer/NetError.h"

namespace mf {

// Empty for a failure without a particular reason to tell; a secure
// connection's own reason (its certificate...) is told as it is.
std::wstring RequestFailureText(NetError error, const std::wstring& secureReason);

// Why an answer was no download.
inline constexpr wchar_t kTooManyRedirects[] = L"Too many redirects";
inline constexpr wchar_t kInsecureRedirect[] =
    L"The secure (https) address sent the download on to an insecure (http) one, which was "
    L"refused.";
inline constexpr wchar_t kCutShort[] = L"The connection ended before the whole file arrived.";
// From the status it had.
std::wstring NoFileText(DWORD status);

}  // namespace mf

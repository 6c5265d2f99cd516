#pragma once
// Why a request failed, in the user's words, from WinINet's error number.
#include <windows.h>

#include <string>

namespace mf {

// Empty for an error without a particular reason to tell.
std::wstring RequestFailureText(DWORD winInetError);

}  // namespace mf

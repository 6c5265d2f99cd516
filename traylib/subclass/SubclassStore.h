#pragma once
// The engine's whole state, kept in named properties of the subclassed window
// so that it goes with the window. Keys are made of the window handle and the
// message number in signed decimal; a value of 0 and a missing key are the same.
// Values that hold addresses are pointer-sized.
#include <windows.h>

#include <string>

namespace sd::store {

// "C" + handle: number of (message, client) attachments on the window.
std::string AttachCountKey(HWND hwnd);
// handle: the window procedure in place before the engine's.
std::string OldProcKey(HWND hwnd);
// handle # message C: number of clients of the message.
std::string ClientCountKey(HWND hwnd, UINT msg);
// handle # message # position: the client at that position (1-based).
std::string ClientKey(HWND hwnd, UINT msg, LONG position);

LONG AttachCount(HWND hwnd);
LONG_PTR OldProc(HWND hwnd);
LONG ClientCount(HWND hwnd, UINT msg);
LONG_PTR Client(HWND hwnd, UINT msg, LONG position);

// Each write traces itself and keeps its success as the thread's last-write flag.
void WriteAttachCount(HWND hwnd, LONG count);
void WriteOldProc(HWND hwnd, LONG_PTR address);
void WriteClientCount(HWND hwnd, UINT msg, LONG count);
void WriteClient(HWND hwnd, UINT msg, LONG position, LONG_PTR client);
bool LastWriteSucceeded() noexcept;

}  // namespace sd::store

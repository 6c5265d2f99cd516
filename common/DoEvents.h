#pragma once
// Yielding to the message loop: long-running work on the user-interface thread
// calls DoEvents so that timers, commands and repaints keep running meanwhile.
namespace mf {

// Dispatches every message waiting for this thread and returns. A WM_QUIT is
// put back so the outer message loop still sees it.
void DoEvents();

// Message loop of the program: runs until WM_QUIT, returns its exit code.
int RunMessageLoop();

}  // namespace mf

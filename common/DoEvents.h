#pragma once
// The message loops: the program's one loop, and the sweep of what waits that
// tests and tools use to let the window's work run. The program's own parts
// never pump messages: each step is a message the one loop takes in turn.
namespace mf {

// Dispatches every message waiting for this thread and returns. A WM_QUIT is
// put back so the outer message loop still sees it.
void DoEvents();

// Message loop of the program: runs until WM_QUIT, returns its exit code.
int RunMessageLoop();

}  // namespace mf

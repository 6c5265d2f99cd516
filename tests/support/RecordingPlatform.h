#pragma once
// Stands in for the person and the outside world: answers message boxes, the
// folder picker and the connectivity test as the test scripts them, and keeps
// every call for the test to look at.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "common/Platform.h"

namespace mf::test {

struct MessageBoxCall {
  HWND owner;
  std::wstring text;
  std::wstring title;
  UINT type;
  UINT Icon() const { return type & MB_ICONMASK; }
  UINT Buttons() const { return type & MB_TYPEMASK; }
};

struct ShellCall {
  std::wstring verb, file, parameters, directory;
  int show;
};

struct FolderPickCall {
  HWND owner;
  std::wstring title;
  UINT flags;
};

class RecordingPlatform : public IPlatform {
 public:
  // Answers given in order; when none is left, IDOK (or IDYES for Yes/No boxes).
  std::deque<int> messageBoxAnswers;
  // Called while a box is "open": lets a test act at that moment.
  std::function<void(const MessageBoxCall&)> onMessageBox;
  std::deque<std::wstring> folderAnswers;  // empty text means cancelled
  bool online = true;

  std::vector<MessageBoxCall> messageBoxes;
  std::vector<ShellCall> shellCalls;
  std::vector<FolderPickCall> folderPicks;
  int onlineChecks = 0;

  int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& title,
                     UINT type) override {
    messageBoxes.push_back({owner, text, title, type});
    if (onMessageBox) onMessageBox(messageBoxes.back());
    if (!messageBoxAnswers.empty()) {
      int a = messageBoxAnswers.front();
      messageBoxAnswers.pop_front();
      return a;
    }
    return (type & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
  }

  INT_PTR ShellOpen(HWND, const std::wstring& verb, const std::wstring& file,
                    const std::wstring& parameters, const std::wstring& directory,
                    int show) override {
    shellCalls.push_back({verb, file, parameters, directory, show});
    return 42;
  }

  std::wstring PickFolder(HWND owner, const std::wstring& title, UINT flags) override {
    folderPicks.push_back({owner, title, flags});
    if (folderAnswers.empty()) return {};
    std::wstring a = folderAnswers.front();
    folderAnswers.pop_front();
    return a;
  }

  bool IsOnline() override {
    ++onlineChecks;
    return online;
  }
};

}  // namespace mf::test

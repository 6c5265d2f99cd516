#pragma once
// Tests drive the program through its parts and the window's controls by
// name; outside the tests those stay the program's own.
#include "shell/Program.h"
#include "transfer/SpeedLimit.h"

namespace mf {

namespace test {

class TestProgram {
 public:
  Program program;
  DownloadList& list = program.list;
  QueueKeeper& keeper = program.keeper;
  QueueDriver& queue = program.queue;
  ClipboardMonitor& monitor = program.monitor;
  Settings& settings = program.settings;
  DownloadGridView& gridView = program.gridView;
  frmMain& form = program.form;

  void RestoreList() { program.RestoreList(); }
  // The grid's tests want a run's first lane at work on an item (0: at
  // work on none) without any request of it.
  void ShowRunning(uint32_t key) {
    queue.first_.key_ = key;
    queue.first_.stage_ = key ? RunStage::Waiting : RunStage::Idle;
  }
  // Nothing of a shown lane is left for the shutdown to stop, and a speed
  // limit the settings set holds for this program only.
  ~TestProgram() {
    queue.first_.stage_ = RunStage::Idle;
    SpeedLimit::Set(0);
  }
};

class FormAccess {
 public:
  static FormControls& Of(frmMain& form) { return form; }
};

}  // namespace test

// Found by argument lookup wherever a test holds the window.
inline FormControls& Controls(frmMain& form) { return test::FormAccess::Of(form); }

}  // namespace mf

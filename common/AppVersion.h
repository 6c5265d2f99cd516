#pragma once
// The program's version as its version resource gives it.
namespace mf {

struct AppVersion {
  unsigned major = 0, minor = 0, revision = 0;
};

// Read from the running module's file version (major.minor.build.revision);
// zeros when the module carries no version resource.
AppVersion ProgramVersion();

}  // namespace mf

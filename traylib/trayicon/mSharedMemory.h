#pragma once
// Memory that another process's window can read and write while it answers
// a message: a block inside that process on the NT family, a shared file
// mapping (visible to every process) on the other family.
#include <windows.h>

#include <cstddef>

#include "base/Handles.h"

namespace sd::mSharedMemory {

using base::UniqueKernelHandle;

// A block allocated inside another process, with the process handle that reaches it.
class RemoteBlock {
 public:
  // OpenProcess with PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE,
  // then VirtualAllocEx of `size` bytes. Empty when either fails.
  RemoteBlock(DWORD processId, SIZE_T size);
  RemoteBlock(const RemoteBlock&) = delete;
  RemoteBlock& operator=(const RemoteBlock&) = delete;
  // VirtualFreeEx of the whole block, then CloseHandle of the process.
  ~RemoteBlock();

  explicit operator bool() const noexcept { return address_ != nullptr; }
  void* Address() const noexcept { return address_; }
  bool Write(const void* data, SIZE_T size) const;
  bool Read(void* data, SIZE_T size) const;

 private:
  UniqueKernelHandle process_;
  void* address_ = nullptr;
};

// A view of an unnamed mapping of the paging file.
class MappedBlock {
 public:
  // CreateFileMappingA on the paging file, then MapViewOfFile with FILE_MAP_ALL_ACCESS.
  explicit MappedBlock(SIZE_T size);
  MappedBlock(const MappedBlock&) = delete;
  MappedBlock& operator=(const MappedBlock&) = delete;
  // UnmapViewOfFile, then CloseHandle of the mapping.
  ~MappedBlock();

  explicit operator bool() const noexcept { return view_ != nullptr; }
  void* Address() const noexcept { return view_; }
  bool Write(const void* data, SIZE_T size) const;
  bool Read(void* data, SIZE_T size) const;

 private:
  UniqueKernelHandle mapping_;
  void* view_ = nullptr;
};

}  // namespace sd::mSharedMemory

#include "traylib/trayicon/mSharedMemory.h"

#include <cstring>

namespace sd::mSharedMemory {

RemoteBlock::RemoteBlock(DWORD processId, SIZE_T size) {
  process_.reset(
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
  if (!process_) return;
  address_ =
      VirtualAllocEx(process_.get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

// The process handle closes after the block is freed: members go after the body.
RemoteBlock::~RemoteBlock() {
  if (address_) VirtualFreeEx(process_.get(), address_, 0, MEM_RELEASE);
}

bool RemoteBlock::Write(const void* data, SIZE_T size) const {
  SIZE_T done = 0;
  return address_ && WriteProcessMemory(process_.get(), address_, data, size, &done) &&
         done == size;
}

bool RemoteBlock::Read(void* data, SIZE_T size) const {
  SIZE_T done = 0;
  return address_ && ReadProcessMemory(process_.get(), address_, data, size, &done) && done == size;
}

MappedBlock::MappedBlock(SIZE_T size) {
  mapping_.reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                    static_cast<DWORD>(size), nullptr));
  if (!mapping_) return;
  view_ = MapViewOfFile(mapping_.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0);
}

MappedBlock::~MappedBlock() {
  if (view_) UnmapViewOfFile(view_);
}

bool MappedBlock::Write(const void* data, SIZE_T size) const {
  if (!view_) return false;
  std::memcpy(view_, data, size);
  return true;
}

bool MappedBlock::Read(void* data, SIZE_T size) const {
  if (!view_) return false;
  std::memcpy(data, view_, size);
  return true;
}

}  // namespace sd::mSharedMemory

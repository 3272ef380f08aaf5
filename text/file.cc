// What File does the same way on every platform: moving and closing, over
// CloseFile() of the platform's file_*.cc.
#include "text/file.h"

File::File(File&& other) noexcept : handle_(other.Release()) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    CloseFile(this);
    handle_ = other.Release();
  }
  return *this;
}

File::~File() { CloseFile(this); }

std::intptr_t File::Release() {
  std::intptr_t handle = handle_;
  handle_ = -1;
  return handle;
}

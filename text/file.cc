// What File does the same way on every platform: moving and closing, over
// CloseFile() of the platform's file_*.cc.
#include "text/file.h"

#include <utility>

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

Folder::Folder(Folder&& other) noexcept
    : handle_(other.handle_),
      path_(std::move(other.path_)),
      flush_error_(other.flush_error_) {
  other.handle_ = -1;
}

Folder& Folder::operator=(Folder&& other) noexcept {
  if (this != &other) {
    Folder gone(std::move(*this));
    handle_ = other.handle_;
    path_ = std::move(other.path_);
    flush_error_ = other.flush_error_;
    other.handle_ = -1;
  }
  return *this;
}

void Folder::Adopt(std::intptr_t handle, const std::string& path,
                   int flush_error) {
  handle_ = handle;
  path_ = path;
  flush_error_ = flush_error;
}

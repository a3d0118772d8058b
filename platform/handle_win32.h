// Owns a Win32 handle and closes it on every way out of a scope: kernel
// objects with CloseHandle, folder searches with FindClose.
#pragma once

#include <windows.h>

namespace platform {

struct CloseKernelHandle {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
struct CloseFindHandle {
  void operator()(HANDLE handle) const { FindClose(handle); }
};

template <typename Close>
class OwnedHandle {
 public:
  explicit OwnedHandle(HANDLE handle = nullptr) : handle_(handle) {}
  ~OwnedHandle() {
    if (valid()) Close()(handle_);
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  bool valid() const {
    return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE;
  }
  HANDLE get() const { return handle_; }
  HANDLE release() {
    const HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }

 private:
  HANDLE handle_;
};

using ScopedHandle = OwnedHandle<CloseKernelHandle>;
using FindHandle = OwnedHandle<CloseFindHandle>;

}  // namespace platform

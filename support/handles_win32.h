// Owners of Win32 handles and COM values. Each kind is move-only: a copy
// would close or release twice. None converts implicitly to the raw value.
#pragma once

#include <windows.h>
// (needs <windows.h> first)
#include <oleauto.h>

#include <utility>

namespace setup::win32 {

// Traits: Handle, Invalid() (the value a reset handle holds), IsValid(h)
// and Close(h).
template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  Handle get() const { return handle_; }
  bool valid() const { return Traits::IsValid(handle_); }
  Handle release() { return std::exchange(handle_, Traits::Invalid()); }
  // The new value is stored before the old one is closed, so that a window
  // procedure running inside DestroyWindow already sees this owner empty.
  void reset(Handle handle = Traits::Invalid()) {
    Handle old = std::exchange(handle_, handle);
    if (Traits::IsValid(old)) Traits::Close(old);
  }

 private:
  Handle handle_ = Traits::Invalid();
};

// CreateFile answers INVALID_HANDLE_VALUE, CreateProcess and most others
// NULL: both count as no handle.
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::CloseHandle(h); }
};

struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::FindClose(h); }
};

// A handle that only null leaves invalid, closed by CloseFunction.
template <typename H, auto CloseFunction>
struct NullInvalidTraits {
  using Handle = H;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { CloseFunction(h); }
};

// A module loaded with LoadLibrary; GetModuleHandle's answer is not owned.
using ModuleHandleTraits = NullInvalidTraits<HMODULE, ::FreeLibrary>;
// A window that this owner destroys. Whoever destroys it otherwise must
// release() it first (or from WM_NCDESTROY).
using WindowHandleTraits = NullInvalidTraits<HWND, ::DestroyWindow>;
// Memory from FORMAT_MESSAGE_ALLOCATE_BUFFER and similar.
using LocalMemoryTraits = NullInvalidTraits<HLOCAL, ::LocalFree>;

using KernelHandle = UniqueHandle<KernelHandleTraits>;
using FindHandle = UniqueHandle<FindHandleTraits>;
using ModuleHandle = UniqueHandle<ModuleHandleTraits>;
using WindowHandle = UniqueHandle<WindowHandleTraits>;
using LocalMemory = UniqueHandle<LocalMemoryTraits>;

template <typename Interface>
void ReleaseInterface(Interface* pointer) {
  pointer->Release();
}

// One reference to a COM interface. The constructor takes over a reference
// the caller owns (no AddRef).
template <typename Interface>
class ComPtr : public UniqueHandle<NullInvalidTraits<Interface*, ReleaseInterface<Interface>>> {
 public:
  using UniqueHandle<NullInvalidTraits<Interface*, ReleaseInterface<Interface>>>::UniqueHandle;
  Interface* operator->() const { return this->get(); }
  explicit operator bool() const { return this->valid(); }
};

// A VARIANT that is cleared (releasing strings and interfaces) on
// destruction.
class Variant {
 public:
  Variant() { ::VariantInit(&value_); }
  ~Variant() { ::VariantClear(&value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;

  VARIANT* get() { return &value_; }
  const VARIANT& value() const { return value_; }
  // Hands the interface of a VT_DISPATCH value to the caller; the variant
  // is left empty.
  IDispatch* ReleaseDispatch() {
    IDispatch* pointer = (value_.vt == VT_DISPATCH) ? value_.pdispVal : nullptr;
    if (value_.vt == VT_DISPATCH) {
      value_.pdispVal = nullptr;
      value_.vt = VT_EMPTY;
    }
    return pointer;
  }

 private:
  VARIANT value_;
};

using Bstr = UniqueHandle<NullInvalidTraits<BSTR, ::SysFreeString>>;

}  // namespace setup::win32

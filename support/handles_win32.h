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

// A module loaded with LoadLibrary; GetModuleHandle's answer is not owned.
struct ModuleHandleTraits {
  using Handle = HMODULE;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::FreeLibrary(h); }
};

// A window that this owner destroys. Whoever destroys it otherwise must
// release() it first (or from WM_NCDESTROY).
struct WindowHandleTraits {
  using Handle = HWND;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::DestroyWindow(h); }
};

// Memory from FORMAT_MESSAGE_ALLOCATE_BUFFER and similar.
struct LocalMemoryTraits {
  using Handle = HLOCAL;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::LocalFree(h); }
};

using KernelHandle = UniqueHandle<KernelHandleTraits>;
using FindHandle = UniqueHandle<FindHandleTraits>;
using ModuleHandle = UniqueHandle<ModuleHandleTraits>;
using WindowHandle = UniqueHandle<WindowHandleTraits>;
using LocalMemory = UniqueHandle<LocalMemoryTraits>;

// One reference to a COM interface.
template <typename Interface>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes over a reference the caller owns (no AddRef).
  explicit ComPtr(Interface* pointer) : pointer_(pointer) {}
  ~ComPtr() { reset(); }
  ComPtr(ComPtr&& other) noexcept : pointer_(other.release()) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  Interface* get() const { return pointer_; }
  Interface* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  Interface* release() { return std::exchange(pointer_, nullptr); }
  void reset(Interface* pointer = nullptr) {
    Interface* old = std::exchange(pointer_, pointer);
    if (old) old->Release();
  }

 private:
  Interface* pointer_ = nullptr;
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

class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(BSTR value) : value_(value) {}
  ~Bstr() { ::SysFreeString(value_); }
  Bstr(Bstr&& other) noexcept : value_(other.release()) {}
  Bstr& operator=(Bstr&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;

  BSTR get() const { return value_; }
  BSTR release() { return std::exchange(value_, nullptr); }
  void reset(BSTR value = nullptr) { ::SysFreeString(std::exchange(value_, value)); }

 private:
  BSTR value_ = nullptr;
};

}  // namespace setup::win32

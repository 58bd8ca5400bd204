// One move-only owner for every Win32 resource: handles, registry keys,
// internet handles, GDI objects, atoms, modules. A traits type names the
// close call and the invalid value, so each resource kind is a short alias
// and nothing is closed by hand.
#pragma once

#include <windows.h>

#include <utility>

namespace tarnix {

template <typename Traits>
class UniqueResource {
 public:
  using T = typename Traits::Type;

  UniqueResource() = default;
  explicit UniqueResource(T value) : value_(value) {}
  ~UniqueResource() { reset(); }
  UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;

  T get() const { return value_; }
  explicit operator bool() const { return value_ != Traits::Invalid(); }
  T release() { return std::exchange(value_, Traits::Invalid()); }
  void reset(T value = Traits::Invalid()) {
    T old = std::exchange(value_, value);
    if (old != Traits::Invalid()) Traits::Close(old);
  }

 private:
  T value_ = Traits::Invalid();
};

template <typename T, auto CloseFn, T InvalidValue = T{}>
struct SimpleTraits {
  using Type = T;
  static T Invalid() { return InvalidValue; }
  static void Close(T v) { CloseFn(v); }
};

// CreateFile and FindFirstFile report failure as INVALID_HANDLE_VALUE.
template <auto CloseFn>
struct FileHandleTraits {
  using Type = HANDLE;
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseFn(h); }
};

using UniqueHandle = UniqueResource<SimpleTraits<HANDLE, &::CloseHandle>>;
using UniqueFileHandle = UniqueResource<FileHandleTraits<&::CloseHandle>>;
using UniqueFindHandle = UniqueResource<FileHandleTraits<&::FindClose>>;
using UniqueHKey = UniqueResource<SimpleTraits<HKEY, &::RegCloseKey>>;
using UniqueModule = UniqueResource<SimpleTraits<HMODULE, &::FreeLibrary>>;
using UniqueGdiObject = UniqueResource<SimpleTraits<HGDIOBJ, &::DeleteObject>>;
using UniqueGlobalAtom = UniqueResource<SimpleTraits<ATOM, &::GlobalDeleteAtom>>;
using UniqueWindow = UniqueResource<SimpleTraits<HWND, &::DestroyWindow>>;

}  // namespace tarnix

// Owners for the Windows resources the deliverables open: kernel handles,
// registry keys, modules, global memory blocks and COM interface pointers.
#pragma once
#include <windows.h>

#include <utility>

namespace z9 {

// One owner for every kind of closable Windows resource; Traits name the
// empty value, what counts as valid and how to close.
template <class T, class Traits>
class UniqueResource {
 public:
  UniqueResource() = default;
  explicit UniqueResource(T r) : r_(r) {}
  UniqueResource(UniqueResource&& o) noexcept : r_(o.release()) {}
  UniqueResource& operator=(UniqueResource&& o) noexcept {
    reset(o.release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  ~UniqueResource() { reset(); }

  T get() const { return r_; }
  bool valid() const { return Traits::Valid(r_); }
  explicit operator bool() const { return valid(); }
  // For functions that return the resource through a pointer.
  T* put() {
    reset();
    return &r_;
  }
  T release() { return std::exchange(r_, T()); }
  void reset(T r = T()) {
    if (Traits::Valid(r_)) Traits::Close(r_);
    r_ = r;
  }

 private:
  T r_ = T();
};

struct HandleTraits {  // both NULL and INVALID_HANDLE_VALUE mean "none"
  static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct HKeyTraits {
  static bool Valid(HKEY k) { return k != nullptr; }
  static void Close(HKEY k) { RegCloseKey(k); }
};
struct ModuleTraits {
  static bool Valid(HMODULE m) { return m != nullptr; }
  static void Close(HMODULE m) { FreeLibrary(m); }
};
struct GlobalTraits {  // release() hands the block to a new owner
  static bool Valid(HGLOBAL g) { return g != nullptr; }
  static void Close(HGLOBAL g) { GlobalFree(g); }
};

using UniqueHandle = UniqueResource<HANDLE, HandleTraits>;
using UniqueHKey = UniqueResource<HKEY, HKeyTraits>;
using UniqueModule = UniqueResource<HMODULE, ModuleTraits>;
using UniqueGlobal = UniqueResource<HGLOBAL, GlobalTraits>;

// Keeps a global block locked for a scope.
class GlobalLock_ {
 public:
  explicit GlobalLock_(HGLOBAL g) : g_(g), p_(g ? GlobalLock(g) : nullptr) {}
  ~GlobalLock_() {
    if (p_ != nullptr) GlobalUnlock(g_);
  }
  GlobalLock_(const GlobalLock_&) = delete;
  GlobalLock_& operator=(const GlobalLock_&) = delete;
  void* get() const { return p_; }

 private:
  HGLOBAL g_;
  void* p_;
};

// A reference-counted COM interface pointer.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  ComPtr(const ComPtr& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComPtr& operator=(ComPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~ComPtr() { reset(); }

  // Takes over a reference the caller already holds.
  static ComPtr Attach(T* p) {
    ComPtr c;
    c.p_ = p;
    return c;
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T** put() {
    reset();
    return &p_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }
  T* detach() { return std::exchange(p_, nullptr); }
  void reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  template <class U>
  HRESULT As(REFIID iid, ComPtr<U>* out) const {
    if (!p_) return E_POINTER;
    return p_->QueryInterface(iid, out->put_void());
  }

 private:
  T* p_ = nullptr;
};

}  // namespace z9

// Owners for the Windows resources the deliverables open: kernel handles,
// registry keys, modules, global memory blocks and COM interface pointers.
#pragma once
#include <windows.h>

#include <utility>

namespace z9 {

// A kernel handle; both NULL and INVALID_HANDLE_VALUE mean "none".
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE h) : h_(h) {}
  UniqueHandle(UniqueHandle&& o) noexcept : h_(o.release()) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    reset(o.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }

  HANDLE get() const { return h_; }
  bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
  explicit operator bool() const { return valid(); }
  HANDLE release() { return std::exchange(h_, nullptr); }
  void reset(HANDLE h = nullptr) {
    if (valid()) CloseHandle(h_);
    h_ = h;
  }

 private:
  HANDLE h_ = nullptr;
};

class UniqueHKey {
 public:
  UniqueHKey() = default;
  explicit UniqueHKey(HKEY k) : k_(k) {}
  UniqueHKey(UniqueHKey&& o) noexcept : k_(o.release()) {}
  UniqueHKey& operator=(UniqueHKey&& o) noexcept {
    reset(o.release());
    return *this;
  }
  UniqueHKey(const UniqueHKey&) = delete;
  UniqueHKey& operator=(const UniqueHKey&) = delete;
  ~UniqueHKey() { reset(); }

  HKEY get() const { return k_; }
  HKEY* put() {
    reset();
    return &k_;
  }
  explicit operator bool() const { return k_ != nullptr; }
  HKEY release() { return std::exchange(k_, nullptr); }
  void reset(HKEY k = nullptr) {
    if (k_ != nullptr) RegCloseKey(k_);
    k_ = k;
  }

 private:
  HKEY k_ = nullptr;
};

class UniqueModule {
 public:
  UniqueModule() = default;
  explicit UniqueModule(HMODULE m) : m_(m) {}
  UniqueModule(UniqueModule&& o) noexcept : m_(o.release()) {}
  UniqueModule& operator=(UniqueModule&& o) noexcept {
    reset(o.release());
    return *this;
  }
  UniqueModule(const UniqueModule&) = delete;
  UniqueModule& operator=(const UniqueModule&) = delete;
  ~UniqueModule() { reset(); }

  HMODULE get() const { return m_; }
  explicit operator bool() const { return m_ != nullptr; }
  HMODULE release() { return std::exchange(m_, nullptr); }
  void reset(HMODULE m = nullptr) {
    if (m_ != nullptr) FreeLibrary(m_);
    m_ = m;
  }

 private:
  HMODULE m_ = nullptr;
};

// A global memory block (GlobalAlloc). release() hands it to a new owner.
class UniqueGlobal {
 public:
  UniqueGlobal() = default;
  explicit UniqueGlobal(HGLOBAL g) : g_(g) {}
  UniqueGlobal(UniqueGlobal&& o) noexcept : g_(o.release()) {}
  UniqueGlobal& operator=(UniqueGlobal&& o) noexcept {
    reset(o.release());
    return *this;
  }
  UniqueGlobal(const UniqueGlobal&) = delete;
  UniqueGlobal& operator=(const UniqueGlobal&) = delete;
  ~UniqueGlobal() { reset(); }

  HGLOBAL get() const { return g_; }
  explicit operator bool() const { return g_ != nullptr; }
  HGLOBAL release() { return std::exchange(g_, nullptr); }
  void reset(HGLOBAL g = nullptr) {
    if (g_ != nullptr) GlobalFree(g_);
    g_ = g;
  }

 private:
  HGLOBAL g_ = nullptr;
};

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

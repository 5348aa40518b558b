// Reference counting shared by the runtime's objects, a holder for a counted reference, and
// the guard that keeps exceptions from crossing an interface.
#pragma once

#include <atomic>
#include <new>
#include <utility>

#include "platform/wmf/wmf.h"

namespace platform::wmf {

// The object starts with one reference and deletes itself when the last one is dropped.
template <class... Interfaces>
class ComObject : public Interfaces... {
 public:
  ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  ULONG AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  ULONG Release() override {
    const ULONG left = DropReference();
    if (left == 0) delete this;
    return left;
  }

 protected:
  virtual ~ComObject() = default;
  ULONG DropReference() { return refs_.fetch_sub(1, std::memory_order_acq_rel) - 1; }

 private:
  std::atomic<ULONG> refs_{1};
};

// Answers `self` under interface I with a new reference.
template <class I, class T>
HRESULT Answer(T* self, I** out) {
  if (out == nullptr) return E_POINTER;
  self->AddRef();
  *out = self;
  return S_OK;
}

// Holds one reference (or none).
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes over a reference the caller owns.
  explicit ComPtr(T* owned) : p_(owned) {}
  ComPtr(const ComPtr& other) : p_(other.p_) {
    if (p_ != nullptr) p_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~ComPtr() {
    if (p_ != nullptr) p_->Release();
  }
  // Adds a reference to an object the caller does not own.
  static ComPtr Share(T* p) {
    if (p != nullptr) p->AddRef();
    return ComPtr(p);
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // Hands the reference to the caller.
  T* Detach() { return std::exchange(p_, nullptr); }

 private:
  T* p_ = nullptr;
};

// Runs `body`, turning an exception (allocation failure above all) into a result code.
template <class F>
HRESULT Guarded(F&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

}  // namespace platform::wmf

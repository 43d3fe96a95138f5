#pragma once

#include <atomic>
#include <cstdint>
#include <type_traits>
#include <utility>

namespace quillon {

// Base of every shared object (sample sources and sinks, documents): one intrusive count.
// The last release destroys the object. Only `Ref` touches the count.
class RefCounted {
 public:
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

  int32_t refCount() const { return refs_.load(std::memory_order_relaxed); }

 protected:
  RefCounted() = default;
  virtual ~RefCounted() = default;

 private:
  template <class T>
  friend class Ref;

  void addRef() const { refs_.fetch_add(1, std::memory_order_relaxed); }
  void release() const {
    if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
  }

  mutable std::atomic<int32_t> refs_{0};
};

// The one handle type for counted objects: copying adds a reference, destruction releases it.
template <class T>
class Ref {
 public:
  Ref() = default;
  Ref(std::nullptr_t) {}
  explicit Ref(T* object) : p_(object) {
    if (p_) p_->addRef();
  }
  Ref(const Ref& other) : Ref(other.p_) {}
  Ref(Ref&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ref(const Ref<U>& other) : Ref(other.get()) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ref(Ref<U>&& other) noexcept : p_(other.detach()) {}
  ~Ref() {
    if (p_) p_->release();
  }

  Ref& operator=(Ref other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }
  friend bool operator==(const Ref& a, const Ref& b) { return a.p_ == b.p_; }

  // Hands the reference over to another Ref without touching the count.
  T* detach() { return std::exchange(p_, nullptr); }

 private:
  T* p_ = nullptr;
};

template <class T, class... Args>
Ref<T> makeRef(Args&&... args) {
  return Ref<T>(new T(std::forward<Args>(args)...));
}

}  // namespace quillon

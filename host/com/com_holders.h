// Small owners for the automation types the COM bridge passes around: interface pointers, BSTRs,
// VARIANTs and SAFEARRAYs. Each releases what it holds exactly once; none of them throws.
#pragma once
#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>

#include <string_view>
#include <utility>

namespace vorlo::com {

// One reference to an interface.
template <typename I>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes over a reference the caller owns.
  static ComPtr adopt(I* p) {
    ComPtr r;
    r.p_ = p;
    return r;
  }
  // Adds a reference of its own.
  static ComPtr share(I* p) {
    if (p) p->AddRef();
    return adopt(p);
  }
  ComPtr(const ComPtr& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComPtr& operator=(ComPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~ComPtr() { reset(); }

  void reset() {
    if (I* p = std::exchange(p_, nullptr)) p->Release();
  }
  I* get() const { return p_; }
  I* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For functions that hand out a new reference: the old one is released first.
  I** put() {
    reset();
    return &p_;
  }
  void** putVoid() { return reinterpret_cast<void**>(put()); }
  // Gives the reference to the caller.
  I* detach() { return std::exchange(p_, nullptr); }

  // The same object as interface J (empty when it does not give it).
  template <typename J>
  ComPtr<J> as(REFIID iid) const {
    ComPtr<J> r;
    if (p_) p_->QueryInterface(iid, r.putVoid());
    return r;
  }

 private:
  I* p_ = nullptr;
};

// One BSTR.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::wstring_view text) : s_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  static Bstr adopt(BSTR s) {
    Bstr r;
    r.s_ = s;
    return r;
  }
  Bstr(Bstr&& o) noexcept : s_(std::exchange(o.s_, nullptr)) {}
  Bstr& operator=(Bstr&& o) noexcept {
    std::swap(s_, o.s_);
    return *this;
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(s_); }

  BSTR get() const { return s_; }
  BSTR* put() {
    SysFreeString(std::exchange(s_, nullptr));
    return &s_;
  }
  BSTR detach() { return std::exchange(s_, nullptr); }
  std::wstring_view view() const { return s_ ? std::wstring_view(s_, SysStringLen(s_)) : std::wstring_view(); }

 private:
  BSTR s_ = nullptr;
};

// One VARIANT, cleared when it goes.
class Variant {
 public:
  Variant() { VariantInit(&v_); }
  Variant(Variant&& o) noexcept : v_(o.v_) { VariantInit(&o.v_); }
  Variant& operator=(Variant&& o) noexcept {
    std::swap(v_, o.v_);
    return *this;
  }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { VariantClear(&v_); }

  VARIANT* get() { return &v_; }
  const VARIANT* get() const { return &v_; }
  VARIANT& operator*() { return v_; }
  // Empties it first, for functions that write a new value.
  VARIANT* put() {
    VariantClear(&v_);
    return &v_;
  }
  VARIANT detach() {
    VARIANT r = v_;
    VariantInit(&v_);
    return r;
  }

 private:
  VARIANT v_;
};

// One SAFEARRAY, destroyed when it goes.
class SafeArray {
 public:
  SafeArray() = default;
  explicit SafeArray(SAFEARRAY* a) : a_(a) {}
  SafeArray(SafeArray&& o) noexcept : a_(std::exchange(o.a_, nullptr)) {}
  SafeArray(const SafeArray&) = delete;
  SafeArray& operator=(const SafeArray&) = delete;
  ~SafeArray() {
    if (a_) SafeArrayDestroy(a_);
  }
  SAFEARRAY* get() const { return a_; }
  SAFEARRAY* detach() { return std::exchange(a_, nullptr); }

 private:
  SAFEARRAY* a_ = nullptr;
};

// The data of a SAFEARRAY, locked while it lives.
class SafeArrayLock {
 public:
  explicit SafeArrayLock(SAFEARRAY* a) : a_(a) {
    if (a_ && FAILED(SafeArrayAccessData(a_, &data_))) a_ = nullptr;
  }
  ~SafeArrayLock() {
    if (a_) SafeArrayUnaccessData(a_);
  }
  SafeArrayLock(const SafeArrayLock&) = delete;
  SafeArrayLock& operator=(const SafeArrayLock&) = delete;
  bool ok() const { return a_ != nullptr; }
  void* data() const { return data_; }

 private:
  SAFEARRAY* a_;
  void* data_ = nullptr;
};

// Frees the texts an automation exception carries and empties it.
inline void clearException(EXCEPINFO& e) {
  SysFreeString(e.bstrSource);
  SysFreeString(e.bstrDescription);
  SysFreeString(e.bstrHelpFile);
  e = EXCEPINFO{};
}

// Automation texts and conversions use one locale, whatever the user's settings (a decimal comma must
// not change results): US English.
inline constexpr LCID kAutomationLcid = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);

}  // namespace vorlo::com

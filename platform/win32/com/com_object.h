// IUnknown for the COM objects of ours, written once (mingw-w64's WRL has no RuntimeClass).
//
// ComObject<I1, I2, ...> derives from the interfaces and implements their IUnknown methods:
//  - QueryInterface gives I1 for IUnknown, and asks find() for any other IID. By default find()
//    gives each listed interface for its own IID; a class overrides it for more (a base reached
//    through a listed interface, such as IOleWindow through IOleInPlaceSite; an interface it has
//    only at times; one implemented elsewhere) and calls listed() for the rest. What find() does
//    not give is E_NOINTERFACE, with the out pointer set to null.
//  - A new object holds one reference, its creator's: hold it with takeNew. It deletes itself when
//    its last reference goes.
//  - An object that lives exactly as long as another (a connection point in its container) hands
//    its AddRef and Release to that owner (liveWith). Interfaces that belong to another object's
//    identity (a control's OLE interfaces on the object that exposes it) do that and also give
//    IUnknown, and whatever find() does not give, through the owner's QueryInterface (partOf).
//
//   class Factory final : public ComObject<IClassFactory> { ... };
//   ComPtr<IClassFactory> factory = takeNew<IClassFactory>(new Factory);
#pragma once

#include <atomic>

#include "platform/win32/win32_base.h"

#include <unknwn.h>
#include <wrl/client.h>

namespace morvane::win32 {

// Holds a COM object just made with new, taking over the one reference it starts with. (The
// ComPtr::Attach of mingw-w64's WRL adds a reference of its own, which would never go.)
template <class T>
Microsoft::WRL::ComPtr<T> takeNew(T* object) {
  Microsoft::WRL::ComPtr<T> held;
  *held.ReleaseAndGetAddressOf() = object;
  return held;
}

template <class First, class... Rest>
class ComObject : public First, public Rest... {
 public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown) {
      *object = find(riid);
    } else if (m_identity == nullptr) {
      *object = static_cast<First*>(this);
    }
    if (*object == nullptr)
      return m_identity != nullptr ? m_identity->QueryInterface(riid, object) : E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    return m_owner != nullptr ? m_owner->AddRef() : ++m_refs;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    if (m_owner != nullptr) return m_owner->Release();
    const ULONG refs = --m_refs;
    if (refs == 0) delete this;
    return refs;
  }

 protected:
  ComObject() = default;
  virtual ~ComObject() = default;

  // The interface for riid other than IUnknown, not yet AddRef'ed; null when there is none.
  virtual void* find(REFIID riid) { return listed(riid); }
  // The listed interface whose IID is riid; null for any other.
  void* listed(REFIID riid) {
    if (riid == __uuidof(First)) return static_cast<First*>(this);
    void* found = nullptr;
    ((found = found == nullptr && riid == __uuidof(Rest) ? static_cast<Rest*>(this) : found), ...);
    return found;
  }

  // From now on the object lives as long as owner: its AddRef and Release are owner's.
  void liveWith(IUnknown* owner) { m_owner = owner; }
  // From now on the interfaces belong to the object whose identity this is: its AddRef and
  // Release, and its QueryInterface for IUnknown and for what find() does not give.
  void partOf(IUnknown* identity) { m_owner = m_identity = identity; }

 private:
  std::atomic<ULONG> m_refs{1};
  IUnknown* m_owner = nullptr;
  IUnknown* m_identity = nullptr;
};

}  // namespace morvane::win32

// The IUnknown part of a COM object that offers one interface: reference
// counting and QueryInterface. An object starts with one reference, held by
// whoever made it.
#pragma once

#include <windows.h>
#include <objbase.h>

template <class Interface, const IID *Iid> class ComObject : public Interface {
  public:
    STDMETHODIMP QueryInterface(REFIID iid, void **out) override {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, *Iid)) {
            *out = static_cast<Interface *>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return (ULONG)InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG left = InterlockedDecrement(&refs_);
        if (left == 0)
            delete this;
        return (ULONG)left;
    }

  protected:
    virtual ~ComObject() = default;

  private:
    LONG refs_ = 1;
};

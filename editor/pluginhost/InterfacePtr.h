// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Owners of what crosses the plug-in boundary: interface references and
// BSTRs. Nobody in the host calls AddRef, Release or SysFreeString by hand.
#include "contract/EditorPlugins_TLB.h"

#include <cstdint>
#include <new>
#include <string_view>
#include <type_traits>
#include <utility>

// Holds one reference to an interface: AddRef on copy, Release on destruction.
template <class T> class cInterfacePtr
{
public:
    cInterfacePtr() noexcept = default;
    // AddRefs: the caller keeps its own reference.
    explicit cInterfacePtr(T *ptr) noexcept : FPtr(ptr) { AddRefHeld(); }
    cInterfacePtr(const cInterfacePtr &other) noexcept : FPtr(other.FPtr) { AddRefHeld(); }
    cInterfacePtr(cInterfacePtr &&other) noexcept : FPtr(std::exchange(other.FPtr, nullptr)) {}
    // From a derived interface, e.g. an IImportPlugin held as its IIOPlugin.
    template <class U, class = std::enable_if_t<std::is_convertible_v<U *, T *>>>
    cInterfacePtr(const cInterfacePtr<U> &other) noexcept : FPtr(other.Get())
    {
        AddRefHeld();
    }
    ~cInterfacePtr() { ReleaseHeld(); }

    cInterfacePtr &operator=(const cInterfacePtr &other) noexcept
    {
        cInterfacePtr(other).Swap(*this);
        return *this;
    }
    cInterfacePtr &operator=(cInterfacePtr &&other) noexcept
    {
        cInterfacePtr(std::move(other)).Swap(*this);
        return *this;
    }

    // Takes over a reference that was already added, e.g. by a factory.
    [[nodiscard]] static cInterfacePtr Attach(T *ptr) noexcept
    {
        cInterfacePtr result;
        result.FPtr = ptr;
        return result;
    }
    // Hands the reference over to the caller, who must release it.
    [[nodiscard]] T *Detach() noexcept { return std::exchange(FPtr, nullptr); }

    void Reset() noexcept
    {
        ReleaseHeld();
        FPtr = nullptr;
    }
    // For an out-parameter that arrives AddRef'ed: drops what is held first.
    [[nodiscard]] T **Out() noexcept
    {
        Reset();
        return &FPtr;
    }

    // The same object as interface U, or empty when it does not answer iid.
    // A QueryInterface that throws does not answer; whatever it may have
    // handed out before is not trusted enough to release.
    template <class U> [[nodiscard]] cInterfacePtr<U> Query(const GUID &iid) const noexcept
    {
        if (FPtr == nullptr)
            return {};
        void *raw = nullptr;
        try {
            if (FAILED(FPtr->QueryInterface(iid, &raw)))
                return {};
        } catch (...) {
            return {};
        }
        return cInterfacePtr<U>::Attach(static_cast<U *>(raw));
    }

    T *Get() const noexcept { return FPtr; }
    T *operator->() const noexcept { return FPtr; }
    explicit operator bool() const noexcept { return FPtr != nullptr; }
    void Swap(cInterfacePtr &other) noexcept { std::swap(FPtr, other.FPtr); }

    friend bool operator==(const cInterfacePtr &a, const cInterfacePtr &b) noexcept
    {
        return a.FPtr == b.FPtr;
    }

private:
    // AddRef and Release must not throw: a faulty plug-in must not end the
    // program here. A failed AddRef leaves the count to the plug-in.
    void AddRefHeld() noexcept
    {
        if (FPtr == nullptr)
            return;
        try {
            FPtr->AddRef();
        } catch (...) {
        }
    }
    void ReleaseHeld() noexcept
    {
        if (FPtr == nullptr)
            return;
        try {
            FPtr->Release();
        } catch (...) {
        }
    }

    T *FPtr = nullptr;
};

// Owns one BSTR, such as the out-text of Import or Process.
class cBStr
{
public:
    cBStr() noexcept = default;
    // Copies the text; the empty text stays null.
    explicit cBStr(std::u16string_view text)
    {
        if (text.empty())
            return;
        if (text.size() > UINT32_MAX / 2)
            throw std::bad_alloc();
        FText = SysAllocStringLen(text.data(), static_cast<uint32_t>(text.size()));
        if (FText == nullptr)
            throw std::bad_alloc();
    }
    cBStr(const cBStr &) = delete;
    cBStr &operator=(const cBStr &) = delete;
    cBStr(cBStr &&other) noexcept : FText(std::exchange(other.FText, nullptr)) {}
    cBStr &operator=(cBStr &&other) noexcept
    {
        std::swap(FText, other.FText);
        return *this;
    }
    ~cBStr() { SysFreeString(FText); }

    [[nodiscard]] static cBStr Attach(BSTR text) noexcept
    {
        cBStr result;
        result.FText = text;
        return result;
    }
    [[nodiscard]] BSTR Detach() noexcept { return std::exchange(FText, nullptr); }

    void Reset() noexcept { SysFreeString(std::exchange(FText, nullptr)); }
    // For an out-parameter: frees what is held first.
    [[nodiscard]] BSTR *Out() noexcept
    {
        Reset();
        return &FText;
    }

    // For an in-parameter; null is the empty text.
    BSTR Get() const noexcept { return FText; }
    uint32_t Length() const noexcept { return SysStringLen(FText); }
    std::u16string_view View() const noexcept { return {FText != nullptr ? FText : u"", Length()}; }

private:
    BSTR FText = nullptr;
};

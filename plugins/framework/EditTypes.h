// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The plug-in side's own types: a holder of interface references and the
// conversions between BSTR and the library's strings (std::u16string for wide
// text, std::string for ANSI text).
#include "contract/EditorPlugins_TLB.h"

#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <utility>

// Holds one reference: AddRef on construction and copy, Release at the end.
template <class T> class cInterfaceRef
{
public:
    cInterfaceRef() noexcept = default;
    explicit cInterfaceRef(T *ptr) noexcept : FPtr(ptr) { AddRefHeld(); }
    cInterfaceRef(const cInterfaceRef &other) noexcept : FPtr(other.FPtr) { AddRefHeld(); }
    cInterfaceRef(cInterfaceRef &&other) noexcept : FPtr(std::exchange(other.FPtr, nullptr)) {}
    template <class U> cInterfaceRef(const cInterfaceRef<U> &other) noexcept : FPtr(other.Get())
    {
        AddRefHeld();
    }
    ~cInterfaceRef() { ReleaseHeld(); }

    cInterfaceRef &operator=(cInterfaceRef other) noexcept
    {
        std::swap(FPtr, other.FPtr);
        return *this;
    }

    // The held reference goes to the caller.
    [[nodiscard]] T *Detach() noexcept { return std::exchange(FPtr, nullptr); }
    void Reset() noexcept { cInterfaceRef().Swap(*this); }
    void Swap(cInterfaceRef &other) noexcept { std::swap(FPtr, other.FPtr); }

    T *Get() const noexcept { return FPtr; }
    T *operator->() const noexcept { return FPtr; }
    explicit operator bool() const noexcept { return FPtr != nullptr; }

private:
    void AddRefHeld() noexcept
    {
        if (FPtr != nullptr)
            FPtr->AddRef();
    }
    void ReleaseHeld() noexcept
    {
        if (FPtr != nullptr)
            FPtr->Release();
    }

    T *FPtr = nullptr;
};

// A new BSTR holding text; null for the empty text. Throws std::bad_alloc.
inline BSTR NewBStr(std::u16string_view text)
{
    if (text.empty())
        return nullptr;
    if (text.size() > UINT32_MAX / 2)
        throw std::bad_alloc();
    BSTR result = SysAllocStringLen(text.data(), static_cast<uint32_t>(text.size()));
    if (result == nullptr)
        throw std::bad_alloc();
    return result;
}

// The text of a BSTR; null is the empty text.
inline std::u16string FromBStr(const OLECHAR *text)
{
    return text == nullptr ? std::u16string() : std::u16string(text, SysStringLen(text));
}

// Owns a BSTR on its way across the boundary.
class cBStrOwner
{
public:
    cBStrOwner() noexcept = default;
    explicit cBStrOwner(std::u16string_view text) : FText(NewBStr(text)) {}
    cBStrOwner(const cBStrOwner &) = delete;
    cBStrOwner &operator=(const cBStrOwner &) = delete;
    ~cBStrOwner() { SysFreeString(FText); }

    // For an out-parameter: frees what is held first.
    [[nodiscard]] BSTR *Out() noexcept
    {
        SysFreeString(std::exchange(FText, nullptr));
        return &FText;
    }
    BSTR Get() const noexcept { return FText; }
    std::u16string ToString() const { return FromBStr(FText); }

private:
    BSTR FText = nullptr;
};

// ANSI text widened to UTF-16 by the code page of the process's locale (the
// C locale counts as UTF-8); an undecodable byte becomes U+FFFD.
std::u16string AnsiToWide(std::string_view text);

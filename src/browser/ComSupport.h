// Owners for the OLE automation values the browser view passes to and gets from the control.
#pragma once

#include <oleauto.h>
#include <windows.h>

#include <new>
#include <string>

// A BSTR freed with SysFreeString.
class UniqueBstr {
public:
    UniqueBstr() = default;
    explicit UniqueBstr(BSTR s) : m_s(s) {}
    ~UniqueBstr() { ::SysFreeString(m_s); }
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;
    BSTR Get() const { return m_s; }
    BSTR* Out() {
        ::SysFreeString(m_s);
        m_s = nullptr;
        return &m_s;
    }
    BSTR Detach() {
        BSTR s = m_s;
        m_s = nullptr;
        return s;
    }

private:
    BSTR m_s = nullptr;
};

// A copy of `text` as a BSTR; running out of memory throws like any other allocation.
inline BSTR AllocBstr(const std::wstring& text) {
    BSTR s = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!s)
        throw std::bad_alloc();
    return s;
}

// A VARIANT cleared with VariantClear; starts as VT_EMPTY.
class UniqueVariant {
public:
    UniqueVariant() { ::VariantInit(&m_v); }
    ~UniqueVariant() { ::VariantClear(&m_v); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    VARIANT* Get() { return &m_v; }
    const VARIANT* Get() const { return &m_v; }
    // Takes ownership of s.
    void SetBstr(BSTR s) {
        ::VariantClear(&m_v);
        m_v.vt = VT_BSTR;
        m_v.bstrVal = s;
    }

private:
    VARIANT m_v;
};

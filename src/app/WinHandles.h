// Non-copyable owners for Win32 handles and COM pointers.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <utility>

// Generic owner: Traits provides Invalid() and Close(h).
template <typename Traits> class UniqueHandle {
public:
    using Handle = typename Traits::Handle;
    UniqueHandle() = default;
    explicit UniqueHandle(Handle h) : m_h(h) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : m_h(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    Handle Get() const { return m_h; }
    explicit operator bool() const { return m_h != Traits::Invalid(); }
    Handle Release() { return std::exchange(m_h, Traits::Invalid()); }
    void Reset(Handle h = Traits::Invalid()) {
        if (m_h != Traits::Invalid())
            Traits::Close(m_h);
        m_h = h;
    }
    Handle* Out() {
        Reset();
        return &m_h;
    }

private:
    Handle m_h = Traits::Invalid();
};

struct KernelHandleTraits { // CreateEvent, CreateThread, OpenProcess, ...: null when invalid
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::CloseHandle(h); }
};
struct FileHandleTraits { // CreateFile, CreateToolhelp32Snapshot: INVALID_HANDLE_VALUE
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::CloseHandle(h); }
};
struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::RegCloseKey(h); }
};
struct InternetHandleTraits {
    using Handle = HINTERNET;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::InternetCloseHandle(h); }
};
template <typename T> struct GdiObjectTraits {
    using Handle = T;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::DeleteObject(h); }
};
struct MemoryDcTraits { // CreateCompatibleDC
    using Handle = HDC;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::DeleteDC(h); }
};
struct MenuTraits {
    using Handle = HMENU;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::DestroyMenu(h); }
};

struct GlobalMemoryTraits { // GlobalAlloc
    using Handle = HGLOBAL;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::GlobalFree(h); }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;
using UniqueRegKey = UniqueHandle<RegKeyTraits>;
using UniqueInternetHandle = UniqueHandle<InternetHandleTraits>;
using UniqueBitmap = UniqueHandle<GdiObjectTraits<HBITMAP>>;
using UniqueFont = UniqueHandle<GdiObjectTraits<HFONT>>;
using UniqueMemoryDc = UniqueHandle<MemoryDcTraits>;
using UniqueMenu = UniqueHandle<MenuTraits>;
using UniqueGlobalMemory = UniqueHandle<GlobalMemoryTraits>;

// A window's DC from GetDC, released with ReleaseDC.
class WindowDc {
public:
    explicit WindowDc(HWND hwnd) : m_hwnd(hwnd), m_dc(::GetDC(hwnd)) {}
    ~WindowDc() {
        if (m_dc)
            ::ReleaseDC(m_hwnd, m_dc);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC Get() const { return m_dc; }

private:
    HWND m_hwnd;
    HDC m_dc;
};

// Selects an object into a DC and puts the previous one back.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ obj) : m_dc(dc), m_old(obj ? ::SelectObject(dc, obj) : nullptr) {}
    ~SelectGuard() {
        if (m_old)
            ::SelectObject(m_dc, m_old);
    }
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

// The smallest useful COM pointer: owns one reference.
template <typename T> class ComPtr {
public:
    ComPtr() = default;
    ComPtr(T* p) : m_p(p) { // takes a new reference
        if (m_p)
            m_p->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.m_p) {}
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ~ComPtr() { Reset(); }
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(m_p, other.m_p);
        return *this;
    }
    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    void Reset() {
        if (m_p)
            std::exchange(m_p, nullptr)->Release();
    }
    T** Out() { // for calls that hand back a reference of their own
        Reset();
        return &m_p;
    }
    void Attach(T* p) {
        Reset();
        m_p = p;
    }
    T* Detach() { return std::exchange(m_p, nullptr); }
    template <typename U> HRESULT As(ComPtr<U>* out) const {
        if (!m_p)
            return E_POINTER;
        return m_p->QueryInterface(__uuidof(U), reinterpret_cast<void**>(out->Out()));
    }

private:
    T* m_p = nullptr;
};

// Holds a CRITICAL_SECTION for the life of the object.
class CriticalSection {
public:
    CriticalSection() { ::InitializeCriticalSection(&m_cs); }
    ~CriticalSection() { ::DeleteCriticalSection(&m_cs); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    void Enter() { ::EnterCriticalSection(&m_cs); }
    void Leave() { ::LeaveCriticalSection(&m_cs); }

private:
    CRITICAL_SECTION m_cs;
};

class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CriticalSection& cs) : m_cs(cs) { m_cs.Enter(); }
    ~CriticalSectionLock() { m_cs.Leave(); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CriticalSection& m_cs;
};

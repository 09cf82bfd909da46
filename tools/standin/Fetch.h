// One page request with WinINet on a worker thread; the result is posted to a window.
#pragma once

#include <windows.h>

#include <string>

struct FetchRequest {
    std::wstring url;
    std::string body;     // POST data; empty means GET
    std::wstring headers; // extra request headers, CRLF-separated
    std::wstring referrer;
};

struct FetchResult {
    HRESULT error = S_OK;  // an INET_E_* code when no HTTP answer came
    DWORD status = 0;      // HTTP status
    std::wstring finalUrl; // after redirects
    std::wstring contentType;
    std::string bytes;
};

// Runs the request on a new thread, then posts (message, serial, FetchResult*) to `notify`,
// which then owns the result. Returns false when the thread could not start.
bool StartFetch(HWND notify, UINT message, WPARAM serial, const FetchRequest& request);

// The body as text, from the charset the server named (UTF-8 when none or unknown).
std::wstring DecodeBody(const std::string& bytes, const std::wstring& contentType);

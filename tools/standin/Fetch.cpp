#include "Fetch.h"

#include "app/WinHandles.h"

#include <process.h>
#include <urlmon.h>

#include <memory>

namespace {

constexpr size_t kMaxBody = 8 * 1024 * 1024;
constexpr DWORD kTimeoutMs = 15000;

struct Job {
    HWND notify;
    UINT message;
    WPARAM serial;
    FetchRequest request;
};

HRESULT ErrorFromWinInet(DWORD error) {
    switch (error) {
    case ERROR_INTERNET_TIMEOUT:
        return INET_E_CONNECTION_TIMEOUT;
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
    case ERROR_INTERNET_CANNOT_CONNECT:
        return INET_E_RESOURCE_NOT_FOUND;
    case ERROR_INTERNET_UNRECOGNIZED_SCHEME:
    case ERROR_INTERNET_INVALID_URL:
        return INET_E_UNKNOWN_PROTOCOL;
    default:
        return INET_E_DOWNLOAD_FAILURE;
    }
}

std::wstring QueryString(HINTERNET request, DWORD info) {
    wchar_t buffer[1024] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    if (!HttpQueryInfoW(request, info, buffer, &size, nullptr))
        return std::wstring();
    return buffer;
}

void Run(const FetchRequest& request, FetchResult* result) {
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof(parts);
    wchar_t host[256] = {};
    wchar_t path[4096] = {};
    wchar_t extra[4096] = {};
    parts.lpszHostName = host;
    parts.dwHostNameLength = 255;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 4095;
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = 4095;
    if (request.url.size() > 4000 ||
        !InternetCrackUrlW(request.url.c_str(), DWORD(request.url.size()), 0, &parts) ||
        (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)) {
        result->error = INET_E_UNKNOWN_PROTOCOL;
        return;
    }
    UniqueInternetHandle session(InternetOpenW(L"Mozilla/4.0 (compatible; stand-in engine)",
                                               INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!session) {
        result->error = INET_E_DOWNLOAD_FAILURE;
        return;
    }
    DWORD timeout = kTimeoutMs;
    InternetSetOptionW(session.Get(), INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof(timeout));
    InternetSetOptionW(session.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof(timeout));
    InternetSetOptionW(session.Get(), INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof(timeout));
    UniqueInternetHandle connection(InternetConnectW(session.Get(), host, parts.nPort, nullptr,
                                                     nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) {
        result->error = ErrorFromWinInet(GetLastError());
        return;
    }
    const std::wstring object = std::wstring(path[0] ? path : L"/") + extra;
    const bool post = !request.body.empty();
    const wchar_t* accept[] = {L"*/*", nullptr};
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI |
                  INTERNET_FLAG_PRAGMA_NOCACHE;
    if (parts.nScheme == INTERNET_SCHEME_HTTPS)
        flags |= INTERNET_FLAG_SECURE;
    UniqueInternetHandle http(HttpOpenRequestW(
        connection.Get(), post ? L"POST" : L"GET", object.c_str(), nullptr,
        request.referrer.empty() ? nullptr : request.referrer.c_str(), accept, flags, 0));
    if (!http) {
        result->error = ErrorFromWinInet(GetLastError());
        return;
    }
    std::wstring headers = request.headers;
    if (post && headers.find(L"Content-Type") == std::wstring::npos)
        headers += L"Content-Type: application/x-www-form-urlencoded\r\n";
    if (!HttpSendRequestW(http.Get(), headers.empty() ? nullptr : headers.c_str(),
                          headers.empty() ? 0 : DWORD(-1),
                          post ? const_cast<char*>(request.body.data()) : nullptr,
                          post ? DWORD(request.body.size()) : 0)) {
        result->error = ErrorFromWinInet(GetLastError());
        return;
    }
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!HttpQueryInfoW(http.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                        nullptr)) {
        result->error = INET_E_DOWNLOAD_FAILURE;
        return;
    }
    result->status = status;
    result->contentType = QueryString(http.Get(), HTTP_QUERY_CONTENT_TYPE);
    wchar_t finalUrl[4096] = {};
    DWORD urlSize = sizeof(finalUrl) - sizeof(wchar_t);
    result->finalUrl = InternetQueryOptionW(http.Get(), INTERNET_OPTION_URL, finalUrl, &urlSize)
                           ? finalUrl
                           : request.url;
    char buffer[16384];
    DWORD got = 0;
    while (InternetReadFile(http.Get(), buffer, sizeof(buffer), &got) && got > 0) {
        if (result->bytes.size() + got > kMaxBody)
            break; // the rest of an oversized page is not shown
        result->bytes.append(buffer, got);
    }
}

unsigned __stdcall FetchThread(void* argument) {
    std::unique_ptr<Job> job(static_cast<Job*>(argument));
    auto result = std::make_unique<FetchResult>();
    Run(job->request, result.get());
    if (PostMessageW(job->notify, job->message, job->serial,
                     reinterpret_cast<LPARAM>(result.get())))
        result.release(); // the window owns it now
    return 0;
}

} // namespace

bool StartFetch(HWND notify, UINT message, WPARAM serial, const FetchRequest& request) {
    auto job = std::make_unique<Job>(Job{notify, message, serial, request});
    const uintptr_t thread = _beginthreadex(nullptr, 0, &FetchThread, job.get(), 0, nullptr);
    if (!thread)
        return false;
    job.release();
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    return true;
}

std::wstring DecodeBody(const std::string& bytes, const std::wstring& contentType) {
    std::wstring type;
    for (wchar_t c : contentType)
        type.push_back(towlower(c));
    UINT codePage = CP_UTF8;
    size_t skip = 0;
    if (type.find(L"charset=gb") != std::wstring::npos)
        codePage = 936;
    else if (type.find(L"charset=big5") != std::wstring::npos)
        codePage = 950;
    else if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        skip = 3;
    if (bytes.size() <= skip)
        return std::wstring();
    const int length =
        MultiByteToWideChar(codePage, 0, bytes.data() + skip, int(bytes.size() - skip), nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring text(size_t(length), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data() + skip, int(bytes.size() - skip), &text[0],
                        length);
    return text;
}

// The reference of the download figure: the same WinINet calls the downloader makes for one
// GET to a file, with the same 10240-byte reads, in a plain loop on the main thread.
// Usage: bench_wininet <url> <file>. Prints "begin" once the request is sent, then "seconds
// bytes" (from InternetOpenW to the file closed); exit code 0 on a complete transfer.
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_wininet <url> <file>\n");
        return 2;
    }
    const std::wstring url = argv[1];
    wchar_t host[2048] = {}, user[512] = {}, password[512] = {}, path[2048] = {};
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = 2048;
    parts.lpszUserName = user;
    parts.dwUserNameLength = 512;
    parts.lpszPassword = password;
    parts.dwPasswordLength = 512;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 2048;
    if (!InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts))
        return 3;

    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);
    int rc = 1;
    unsigned long long total = 0;
    HINTERNET root = InternetOpenW(L"HTTPDownloader", INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
                                   nullptr, 0);
    HINTERNET conn = root ? InternetConnectW(root, host, parts.nPort, user, password,
                                             INTERNET_SERVICE_HTTP, 0, 0)
                          : nullptr;
    HINTERNET req = conn ? HttpOpenRequestW(conn, L"GET", path, nullptr, nullptr, nullptr, 0, 0)
                         : nullptr;
    if (req && HttpSendRequestW(req, nullptr, 0, nullptr, 0)) {
        std::printf("begin\n");
        std::fflush(stdout);
        DWORD status = 0, length = 0, size = sizeof status;
        if (HttpQueryInfoW(req, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                           nullptr) &&
            status < 400) {
            size = sizeof length;
            if (HttpQueryInfoW(req, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length,
                               &size, nullptr)) {
                HANDLE file = CreateFileW(argv[2], GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                          CREATE_ALWAYS, 0, nullptr);
                if (file != INVALID_HANDLE_VALUE) {
                    char buffer[10240];
                    DWORD remaining = length;
                    while (remaining > 0) {
                        DWORD read = 0, written = 0;
                        if (!InternetReadFile(req, buffer, sizeof buffer, &read) || read == 0)
                            break;
                        remaining -= read < remaining ? read : remaining;
                        total += read;
                        if (!WriteFile(file, buffer, read, &written, nullptr) || written != read)
                            break;
                    }
                    CloseHandle(file);
                    rc = remaining == 0 ? 0 : 1;
                }
            }
        }
    }
    if (req)
        InternetCloseHandle(req);
    if (conn)
        InternetCloseHandle(conn);
    if (root)
        InternetCloseHandle(root);
    QueryPerformanceCounter(&t1);
    std::printf("%.6f %llu\n", double(t1.QuadPart - t0.QuadPart) / double(freq.QuadPart), total);
    return rc;
}

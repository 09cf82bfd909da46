#include "net/HttpDownloader.h"

#include "app/Config.h"
#include "net/DownloadRules.h"

#include <process.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <new>

// ---- CThreadHolder -----------------------------------------------------------------------

CThreadHolder::~CThreadHolder() {
    m_bStop = 1;
    if (m_hThread) {
        WaitForSingleObject(m_hThread.Get(), INFINITE);
        m_hThread.Reset();
    }
}

bool CThreadHolder::Start(ThreadProc proc, void* param) {
    m_pfnProc = proc;
    m_pParam = param;
    m_bStop = 0;
    const uintptr_t thread =
        _beginthreadex(nullptr, 0, &CThreadHolder::ThreadEntry, this, 0, nullptr);
    if (thread == 0) {
        m_bStop = 1;
        return false;
    }
    m_hThread.Reset(reinterpret_cast<HANDLE>(thread));
    return true;
}

unsigned __stdcall CThreadHolder::ThreadEntry(void* holder) {
    // Nothing may unwind out of the thread: the C runtime would end the process.
    try {
        CThreadHolder* self = static_cast<CThreadHolder*>(holder);
        if (self && self->m_pfnProc)
            self->m_pfnProc(self->m_pParam);
    } catch (...) {
    }
    return 0;
}

// ---- CDownloadWorker ---------------------------------------------------------------------

namespace {

void Report(const DownloadRequest& request, int32_t event, int32_t result, intptr_t extra) {
    if (!request.pfnCallback)
        return;
    // A throwing callback must not cost the worker its thread or the request its clean-up.
    try {
        request.pfnCallback(request.pUser, request.nKind, event, result, extra);
    } catch (...) {
    }
}

} // namespace

CDownloadWorker::CDownloadWorker(CHttpDownloader* downloader)
    : m_pDownloader(downloader), m_hWakeEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

CDownloadWorker::~CDownloadWorker() {
    Stop();
}

void CDownloadWorker::WorkerProc(void* param) {
    static_cast<CDownloadWorker*>(param)->Run();
}

void CDownloadWorker::Run() {
    while (!StopRequested()) {
        std::unique_ptr<QueuedRequest> item = m_pDownloader->TakeRequest();
        if (!item) {
            const DWORD wait = WaitForSingleObject(m_hWakeEvent.Get(), 10000);
            // A failed wait would turn this loop into a busy one: end it instead.
            if (wait == WAIT_ABANDONED || wait == WAIT_FAILED)
                break;
            continue;
        }
        Serve(*item);
    }
}

void CDownloadWorker::Serve(QueuedRequest& item) {
    DownloadRequest& request = item.request;
    Report(request, DL_EVENT_BEGIN, 0, 0);
    int32_t result = DL_CANCELLED;
    for (int32_t attempt = 0; !StopRequested(); ++attempt) {
        result = Perform(item);
        if (result == DL_OK || StopRequested() || attempt >= request.nRetries)
            break;
        for (int step = 0; step < 10 && !StopRequested(); ++step)
            Sleep(100);
    }
    if (!StopRequested()) {
        Report(request, DL_EVENT_END, result, reinterpret_cast<intptr_t>(&request));
        if (result == DL_OK)
            return;
    }
    // Failed or cancelled: leave no partial or stale file behind (a folder is not deleted).
    if (!request.strTargetPath.empty() && request.bDeleteOnFailure)
        DeleteFileW(request.strTargetPath.c_str());
}

int32_t CDownloadWorker::Perform(QueuedRequest& item) {
    DownloadRequest& request = item.request;

    wchar_t host[2048] = {};
    wchar_t user[512] = {};
    wchar_t password[512] = {};
    wchar_t path[2048] = {};
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host;
    parts.dwHostNameLength = 2048;
    parts.lpszUserName = user;
    parts.dwUserNameLength = 512;
    parts.lpszPassword = password;
    parts.dwPasswordLength = 512;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 2048;
    // Not a success: the requesters would go on to read a file that was never written.
    if (request.strUrl.empty() ||
        !InternetCrackUrlW(request.strUrl.c_str(), static_cast<DWORD>(request.strUrl.size()), 0,
                           &parts))
        return DL_ERR_CONNECT;

    UniqueInternetHandle root(
        InternetOpenW(L"HTTPDownloader", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!root)
        return DL_ERR_CONNECT;
    if (StopRequested())
        return DL_CANCELLED;

    UniqueInternetHandle connection(InternetConnectW(root.Get(), host, parts.nPort, user, password,
                                                     INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection)
        return DL_ERR_CONNECT;
    if (StopRequested())
        return DL_CANCELLED;

    const bool post = request.pBody != nullptr && request.nBodyLength > 0;
    UniqueInternetHandle http(HttpOpenRequestW(connection.Get(), post ? L"POST" : L"GET", path,
                                               nullptr, nullptr, nullptr, 0, 0));
    if (!http)
        return DL_ERR_REQUEST;
    if (post) {
        static const wchar_t kHeader[] =
            L"Content-Type: application/x-www-form-urlencoded; charset=UTF-8;\r\n";
        if (!HttpAddRequestHeadersW(http.Get(), kHeader, static_cast<DWORD>(wcslen(kHeader)),
                                    HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE))
            return DL_ERR_REQUEST;
    }
    if (StopRequested())
        return DL_CANCELLED;

    if (!HttpSendRequestW(http.Get(), nullptr, 0,
                          post ? const_cast<unsigned char*>(request.pBody) : nullptr,
                          post ? static_cast<DWORD>(request.nBodyLength) : 0))
        return DL_ERR_REQUEST;
    if (StopRequested())
        return DL_CANCELLED;

    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!HttpQueryInfoW(http.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                        nullptr) ||
        status >= 400)
        return DL_ERR_RESPONSE;
    if (request.strTargetPath.empty())
        return DL_OK;

    // Once per request, so that a retry writes to the same file.
    if (!item.bTargetCompleted) {
        request.strTargetPath =
            CompleteTargetPath(request.strTargetPath, request.strUrl, request.bAppendUrlName != 0,
                               request.bGuidPrefix != 0, &NewGuidString);
        item.bTargetCompleted = true;
    }

    DWORD length = 0;
    size = sizeof(length);
    if (!HttpQueryInfoW(http.Get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length,
                        &size, nullptr))
        return DL_ERR_RESPONSE;
    if (StopRequested())
        return DL_CANCELLED;

    UniqueFileHandle file(CreateFileW(request.strTargetPath.c_str(), GENERIC_WRITE,
                                      FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file)
        return DL_ERR_CREATE_FILE;

    int32_t result = DL_OK;
    unsigned char buffer[10240];
    DWORD remaining = length;
    while (remaining > 0) {
        if (StopRequested()) {
            result = DL_CANCELLED;
            break;
        }
        DWORD read = 0;
        if (!InternetReadFile(http.Get(), buffer, sizeof(buffer), &read)) {
            result = DL_ERR_READ;
            break;
        }
        // The server closed before the announced length: the body will not complete.
        if (read == 0) {
            result = DL_ERR_READ;
            break;
        }
        const DWORD take = std::min(read, remaining);
        remaining -= take;
        Report(request, DL_EVENT_PROGRESS, 0, DownloadPercent(length, remaining));
        DWORD written = 0;
        if (!WriteFile(file.Get(), buffer, take, &written, nullptr) || written != take) {
            result = DL_ERR_WRITE;
            break;
        }
    }
    file.Reset();
    return result;
    // The request, connection and root handles close here, in that order.
}

void CDownloadWorker::RequestStop() {
    m_thread.m_bStop = 1;
    if (m_hWakeEvent)
        SetEvent(m_hWakeEvent.Get());
}

void CDownloadWorker::Stop() {
    RequestStop();
    if (!m_thread.m_hThread)
        return;
    // A worker inside a WinINet call or a callback sees the flag only when it returns.
    if (WaitForSingleObject(m_thread.m_hThread.Get(), 5000) == WAIT_TIMEOUT)
        TerminateThread(m_thread.m_hThread.Get(), 0);
    m_thread.m_hThread.Reset();
}

// ---- CHttpDownloader ---------------------------------------------------------------------

CHttpDownloader::~CHttpDownloader() {
    StopAll();
}

bool CHttpDownloader::StartWorkers() {
    CriticalSectionLock lock(m_workersLock);
    if (m_bStarted)
        return true;
    for (int32_t i = 0; i < m_nWorkerCount; ++i) {
        try {
            m_workers.push_back(std::make_unique<CDownloadWorker>(this));
        } catch (const std::bad_alloc&) {
            continue;
        }
        CDownloadWorker& worker = *m_workers.back();
        // Without its event a worker could only spin: it is not started.
        if (!worker.m_hWakeEvent || !worker.m_thread.Start(&CDownloadWorker::WorkerProc, &worker)) {
            worker.Stop();
            m_workers.pop_back();
        }
    }
    m_bStarted = m_workers.empty() ? 0 : 1;
    return m_bStarted != 0;
}

bool CHttpDownloader::AddRequest(const DownloadRequest& request) {
    try {
        auto copy = std::make_unique<QueuedRequest>();
        copy->request = request;
        copy->request.pBody = nullptr;
        copy->request.nBodyLength = 0;
        if (request.pBody && request.nBodyLength > 0) {
            copy->body.reset(new unsigned char[static_cast<size_t>(request.nBodyLength)]);
            std::memcpy(copy->body.get(), request.pBody, static_cast<size_t>(request.nBodyLength));
            copy->request.pBody = copy->body.get();
            copy->request.nBodyLength = request.nBodyLength;
        }
        CriticalSectionLock lock(m_queueLock);
        m_queue.push_back(std::move(copy));
    } catch (const std::bad_alloc&) {
        return false;
    }
    CriticalSectionLock lock(m_workersLock);
    for (const auto& worker : m_workers)
        SetEvent(worker->m_hWakeEvent.Get());
    return true;
}

std::unique_ptr<QueuedRequest> CHttpDownloader::TakeRequest() {
    CriticalSectionLock lock(m_queueLock);
    if (m_queue.empty())
        return nullptr;
    std::unique_ptr<QueuedRequest> item = std::move(m_queue.front());
    m_queue.pop_front();
    return item;
}

void CHttpDownloader::StopAll() {
    std::list<std::unique_ptr<CDownloadWorker>> workers;
    {
        CriticalSectionLock lock(m_workersLock);
        workers.swap(m_workers);
    }
    // Every worker hears the stop at once, so the waits below overlap.
    for (const auto& worker : workers)
        worker->RequestStop();
    for (auto& worker : workers) {
        worker->Stop();
        worker.reset();
    }
    m_bStarted = 0;
}

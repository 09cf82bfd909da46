// FIFO of HTTP requests served by two worker threads.
#pragma once

#include "app/WinHandles.h"
#include "net/Download.h"

#include <atomic>
#include <list>
#include <memory>

class CHttpDownloader;

// Owns one thread made with _beginthreadex. The stop flag is 1 until Start arms the holder
// and 1 again once a stop has been asked for; the thread procedure polls it.
class CThreadHolder {
public:
    typedef void (*ThreadProc)(void* param);

    CThreadHolder() = default;
    virtual ~CThreadHolder();
    CThreadHolder(const CThreadHolder&) = delete;
    CThreadHolder& operator=(const CThreadHolder&) = delete;

    // Sets procedure and parameter, clears the stop flag and creates the thread.
    bool Start(ThreadProc proc, void* param);

    UniqueKernelHandle m_hThread;
    std::atomic<int32_t> m_bStop{1};
    ThreadProc m_pfnProc = nullptr;
    void* m_pParam = nullptr;

private:
    static unsigned __stdcall ThreadEntry(void* holder);
};

// The downloader's own copy of a request: its strings and body belong to it.
struct QueuedRequest {
    DownloadRequest request;
    std::unique_ptr<unsigned char[]> body;
    bool bTargetCompleted = false; // the name flags have been applied to strTargetPath
};

class CDownloadWorker {
public:
    explicit CDownloadWorker(CHttpDownloader* downloader);
    ~CDownloadWorker();
    CDownloadWorker(const CDownloadWorker&) = delete;
    CDownloadWorker& operator=(const CDownloadWorker&) = delete;

    static void WorkerProc(void* param);
    // One attempt; a DL_ result code.
    int32_t Perform(QueuedRequest& item);
    // Asks the thread to end, waits up to 5 s for it (then terminates it) and forgets it.
    void Stop();
    void RequestStop();
    bool StopRequested() const { return m_thread.m_bStop.load() != 0; }

    CThreadHolder m_thread;
    CHttpDownloader* m_pDownloader;
    UniqueKernelHandle m_hWakeEvent;

private:
    void Run();
    void Serve(QueuedRequest& item);
};

class CHttpDownloader {
public:
    CHttpDownloader() = default;
    ~CHttpDownloader();
    CHttpDownloader(const CHttpDownloader&) = delete;
    CHttpDownloader& operator=(const CHttpDownloader&) = delete;

    bool StartWorkers();
    bool AddRequest(const DownloadRequest& request);
    void StopAll();
    bool IsStarted() const { return m_bStarted.load() != 0; }

private:
    friend class CDownloadWorker;
    std::unique_ptr<QueuedRequest> TakeRequest();

    std::list<std::unique_ptr<QueuedRequest>> m_queue;
    CriticalSection m_queueLock;
    std::atomic<int32_t> m_bStarted{0};
    const int32_t m_nWorkerCount = 2;
    std::list<std::unique_ptr<CDownloadWorker>> m_workers;
    // A completion callback may queue (and so walk the worker list) while StopAll takes the
    // workers apart: the list itself is swapped and walked under this lock, never waited in.
    CriticalSection m_workersLock;
};

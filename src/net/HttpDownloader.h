// FIFO of HTTP requests served by two worker threads.
#pragma once

#include "net/Download.h"

class CHttpDownloader {
public:
    CHttpDownloader();
    ~CHttpDownloader();
    CHttpDownloader(const CHttpDownloader&) = delete;
    CHttpDownloader& operator=(const CHttpDownloader&) = delete;

    bool StartWorkers();
    bool AddRequest(const DownloadRequest& request);
    void StopAll();
    bool IsStarted() const { return m_bStarted != 0; }

private:
    int32_t m_bStarted = 0;
};

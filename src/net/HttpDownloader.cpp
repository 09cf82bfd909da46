#include "net/HttpDownloader.h"

// The transfer engine arrives with the downloader work; until then nothing is queued.
CHttpDownloader::CHttpDownloader() = default;
CHttpDownloader::~CHttpDownloader() { StopAll(); }
bool CHttpDownloader::StartWorkers() { return false; }
bool CHttpDownloader::AddRequest(const DownloadRequest&) { return false; }
void CHttpDownloader::StopAll() { m_bStarted = 0; }

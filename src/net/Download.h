// Request record, callback and codes of the HTTP downloader.
#pragma once

#include <cstdint>
#include <string>

// user pointer, kind, event, result code, extra (percentage or the request copy).
typedef int (*DownloadCallback)(void* user, int32_t kind, int32_t event, int32_t result,
                                intptr_t extra);

enum : int32_t {
    DL_EVENT_BEGIN = 1,
    DL_EVENT_PROGRESS = 2,
    DL_EVENT_END = 3,
};

enum : int32_t {
    DL_OK = 0,
    DL_CANCELLED = -1,
    DL_ERR_CONNECT = -2,
    DL_ERR_REQUEST = -3,
    DL_ERR_RESPONSE = -4,
    DL_ERR_CREATE_FILE = -5,
    DL_ERR_READ = -6,
    DL_ERR_WRITE = -7,
};

// Kinds the client gives its requests.
enum : int32_t {
    REQ_VERSION_INI = 0,
    REQ_UPGRADER = 1,
    REQ_BEACON_INSTALL = 3,
    REQ_BEACON_UNINSTALL = 4,
    REQ_BEACON_ACTIVE = 5,
};

struct DownloadRequest {
    std::wstring strUrl;
    std::wstring strTargetPath;
    const unsigned char* pBody = nullptr;
    int32_t nBodyLength = 0;
    int32_t nRetries = 0;
    DownloadCallback pfnCallback = nullptr;
    void* pUser = nullptr;
    int32_t nKind = 0;
    int32_t bAppendUrlName = 0;
    int32_t bGuidPrefix = 0;
    int32_t bDeleteOnFailure = 1;
};

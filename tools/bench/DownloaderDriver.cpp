// Runs one download through the client's own CHttpDownloader, the way its requesters do:
// start the workers, queue the request with a callback, wait for the end event.
// Usage: bench_downloader <url> <file>. Prints "begin" when a worker takes the request, then
// "seconds result" (from AddRequest to the end event); exit code 0 on DL_OK.
#include "net/HttpDownloader.h"

#include <windows.h>

#include <cstdio>

namespace {

struct Outcome {
    HANDLE done;
    LARGE_INTEGER end;
    int32_t result;
};

int OnEvent(void* user, int32_t, int32_t event, int32_t result, intptr_t) {
    Outcome* outcome = static_cast<Outcome*>(user);
    if (event == DL_EVENT_BEGIN) {
        std::printf("begin\n");
        std::fflush(stdout);
    } else if (event == DL_EVENT_END) {
        QueryPerformanceCounter(&outcome->end);
        outcome->result = result;
        SetEvent(outcome->done);
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_downloader <url> <file>\n");
        return 2;
    }
    UniqueKernelHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Outcome outcome = {done.Get(), {}, DL_ERR_CONNECT};
    CHttpDownloader downloader;
    if (!downloader.StartWorkers())
        return 3;
    DownloadRequest request;
    request.strUrl = argv[1];
    request.strTargetPath = argv[2];
    request.pfnCallback = &OnEvent;
    request.pUser = &outcome;
    LARGE_INTEGER freq, start;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&start);
    if (!downloader.AddRequest(request))
        return 4;
    if (WaitForSingleObject(done.Get(), 600000) != WAIT_OBJECT_0)
        return 5;
    downloader.StopAll();
    std::printf("%.6f %d\n", double(outcome.end.QuadPart - start.QuadPart) / double(freq.QuadPart),
                static_cast<int>(outcome.result));
    return outcome.result == DL_OK ? 0 : 1;
}

// The downloader against a real loopback HTTP server whose responses each case chooses.
#include "net/HttpDownloader.h"

#include "NetTestSupport.h"
#include "TestSupport.h"
#include "fixtures/HttpFixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using nettest::Event;
using nettest::Recorder;

class DownloaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(m_fixture.Port(), 0) << "run under tests/fixtures/http_fixture.py";
    }

    DownloadRequest Request(const std::wstring& url, int32_t kind = 0) {
        DownloadRequest request;
        request.strUrl = url;
        request.pfnCallback = &Recorder::Callback;
        request.pUser = &m_recorder;
        request.nKind = kind;
        return request;
    }

    // Log lines of requests whose path holds `marker`.
    std::vector<test::HttpFixture::Entry> Requests(const std::string& marker) const {
        std::vector<test::HttpFixture::Entry> out;
        for (const auto& entry : m_fixture.Log())
            if (entry.line.find(marker) != std::string::npos)
                out.push_back(entry);
        return out;
    }
    size_t IndexOf(const std::string& marker) const {
        const auto log = m_fixture.Log();
        for (size_t i = 0; i < log.size(); ++i)
            if (log[i].line.find(marker) != std::string::npos)
                return i;
        return SIZE_MAX;
    }

    static std::string Pattern(size_t size) {
        std::string bytes(size, '\0');
        for (size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>(i % 251);
        return bytes;
    }

    test::HttpFixture m_fixture;
    test::TempFolder m_folder;
    Recorder m_recorder;
};

// Every edge of one request, each case served by its own fresh URL.
TEST_F(DownloaderTest, OneRequestEdgeCases) {
    enum Target { None, File, Folder, FolderSlash };
    struct Case {
        const char* name;
        std::string directives;
        const wchar_t* path;
        Target target;
        bool appendName;
        const char* body; // POST body, or null
        int32_t expected;
        const wchar_t* expectedFile; // relative to the case folder; null: the target itself
        const char* expectedBytes;   // null: no file may exist
        bool staleFile;              // a file is already where the target points
    } cases[] = {
        // Without a target any status below 400 succeeds and the (slow) body is never read.
        {"no-target-200", "size=100000;chunk=1000;every=1000", L"/a", None, false, nullptr, DL_OK,
         nullptr, nullptr, false},
        {"no-target-399", "status=399;body=x", L"/a", None, false, nullptr, DL_OK, nullptr, nullptr,
         false},
        {"no-target-400", "status=400;body=x", L"/a", None, false, nullptr, DL_ERR_RESPONSE,
         nullptr, nullptr, false},
        {"no-target-404", "status=404", L"/a", None, false, nullptr, DL_ERR_RESPONSE, nullptr,
         nullptr, false},
        {"target-399", "status=399;body=abc", L"/a", File, false, nullptr, DL_OK, nullptr, "abc",
         false},
        {"target-400", "status=400;body=abc", L"/a", File, false, nullptr, DL_ERR_RESPONSE, nullptr,
         nullptr, false},
        // A failed request removes what was at its target before.
        {"target-500-stale", "status=500", L"/a", File, false, nullptr, DL_ERR_RESPONSE, nullptr,
         nullptr, true},
        {"length-0", "length=0", L"/a", File, false, nullptr, DL_OK, nullptr, "", false},
        {"length-0-replaces", "length=0", L"/a", File, false, nullptr, DL_OK, nullptr, "", true},
        {"no-length", "length=none;body=abc", L"/a", File, false, nullptr, DL_ERR_RESPONSE, nullptr,
         nullptr, false},
        {"body", "size=30000", L"/a", File, false, nullptr, DL_OK, nullptr, "<pattern 30000>",
         false},
        {"append-folder", "body=ini", L"/tarsel/pelun/official/app.ini", Folder, true, nullptr,
         DL_OK, L"app.ini", "ini", false},
        {"append-folder-slash", "body=ini", L"/tarsel/pelun/official/app.ini", FolderSlash, true,
         nullptr, DL_OK, L"app.ini", "ini", false},
        // The server closes after 20000 of the 50000 bytes it announced.
        {"early-close", "size=50000;send=20000", L"/a", File, false, nullptr, DL_ERR_READ, nullptr,
         nullptr, false},
        {"early-close-at-once", "size=50000;send=0", L"/a", File, false, nullptr, DL_ERR_READ,
         nullptr, nullptr, false},
        {"post", "body=ok", L"/post", None, false, "a=1&b=%E4%B8%AD 2", DL_OK, nullptr, nullptr,
         false},
        {"post-target", "body=ok", L"/post", File, false, "x=y", DL_OK, nullptr, "ok", false},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        const std::string marker = std::string("case=") + c.name;
        const std::wstring folder = m_folder.Path() + std::wstring(c.name, c.name + strlen(c.name));
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        const std::wstring file = folder + L"\\out.bin";

        DownloadRequest request =
            Request(m_fixture.Url(c.directives + ";" + marker, c.path), static_cast<int32_t>(i));
        switch (c.target) {
        case None:
            break;
        case File:
            request.strTargetPath = file;
            break;
        case Folder:
            request.strTargetPath = folder;
            break;
        case FolderSlash:
            request.strTargetPath = folder + L"\\";
            break;
        }
        request.bAppendUrlName = c.appendName ? 1 : 0;
        if (c.staleFile) {
            ASSERT_TRUE(test::WriteFileBytes(file, "stale"));
        }
        std::string body;
        if (c.body) {
            body = c.body;
            request.pBody = reinterpret_cast<const unsigned char*>(body.data());
            request.nBodyLength = static_cast<int32_t>(body.size());
        }

        CHttpDownloader downloader;
        ASSERT_TRUE(downloader.StartWorkers());
        ASSERT_TRUE(downloader.AddRequest(request));
        body.assign(body.size(), '#'); // the downloader must have taken its own copy
        ASSERT_TRUE(m_recorder.WaitForEnds(i + 1, 20000)) << "no end event";
        downloader.StopAll();

        const std::vector<Event> events = m_recorder.EventsOf(static_cast<int32_t>(i));
        ASSERT_GE(events.size(), 2u);
        EXPECT_EQ(events.front().event, DL_EVENT_BEGIN);
        EXPECT_EQ(events.back().event, DL_EVENT_END);
        EXPECT_EQ(m_recorder.Count(static_cast<int32_t>(i), DL_EVENT_END), 1u);
        EXPECT_EQ(events.back().result, c.expected);

        const std::wstring expectedPath = c.expectedFile     ? folder + L"\\" + c.expectedFile
                                          : c.target == None ? std::wstring()
                                                             : file;
        if (c.expected == DL_OK) {
            EXPECT_EQ(events.back().target, expectedPath);
        }
        if (c.expectedBytes) {
            const std::string expected = std::string(c.expectedBytes) == "<pattern 30000>"
                                             ? Pattern(30000)
                                             : std::string(c.expectedBytes);
            EXPECT_TRUE(test::FileExists(expectedPath));
            EXPECT_EQ(test::ReadFileBytes(expectedPath), expected);
        } else if (c.target != None) {
            EXPECT_FALSE(test::FileExists(file));
            EXPECT_FALSE(test::FileExists(folder + L"\\a"));
        }
        // Progress only when a body was read, ending at 100 on success.
        int progress = 0;
        intptr_t last = -1;
        for (const Event& e : events) {
            if (e.event != DL_EVENT_PROGRESS)
                continue;
            ++progress;
            EXPECT_GE(e.extra, last);
            EXPECT_LE(e.extra, 100);
            last = e.extra;
        }
        if (c.target == None || c.expected == DL_ERR_RESPONSE) {
            EXPECT_EQ(progress, 0);
        }
        if (c.expected == DL_OK && c.expectedBytes && *c.expectedBytes) {
            EXPECT_EQ(last, 100);
        }

        const auto seen = Requests(marker);
        ASSERT_EQ(seen.size(), 1u);
        if (c.body) {
            EXPECT_EQ(seen[0].line.compare(0, 5, "POST "), 0) << seen[0].line;
            const std::string raw = m_fixture.RawRequest(IndexOf(marker));
            EXPECT_NE(raw.find("\r\nContent-Type: application/x-www-form-urlencoded; "
                               "charset=UTF-8;\r\n"),
                      std::string::npos)
                << raw;
            EXPECT_EQ(raw.substr(raw.find("\r\n\r\n") + 4), c.body);
        } else {
            EXPECT_EQ(seen[0].line.compare(0, 4, "GET "), 0) << seen[0].line;
        }
    }
}

TEST_F(DownloaderTest, QueryStringAndUrlsThatCannotBeServed) {
    struct Case {
        std::wstring url;
        int32_t expected;
    } cases[] = {
        {m_fixture.Url("body=q", L"/q.php?x=1&y=two"), DL_OK},
        {L"", DL_ERR_CONNECT},
        {L"not a url", DL_ERR_CONNECT},
        {L"http://", DL_ERR_CONNECT},
        {L"http://" + std::wstring(3000, L'h') + L"/a", DL_ERR_CONNECT}, // host too long
    };
    CHttpDownloader downloader;
    ASSERT_TRUE(downloader.StartWorkers());
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
        DownloadRequest request = Request(cases[i].url, static_cast<int32_t>(i));
        request.strTargetPath = m_folder.Path() + L"never.bin";
        if (cases[i].expected == DL_OK)
            request.strTargetPath = m_folder.Path() + L"q.bin";
        ASSERT_TRUE(downloader.AddRequest(request));
        ASSERT_TRUE(m_recorder.WaitForEnds(i + 1, 20000));
        const auto events = m_recorder.EventsOf(static_cast<int32_t>(i));
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.back().result, cases[i].expected) << cases[i].url.substr(0, 60);
    }
    EXPECT_FALSE(test::FileExists(m_folder.Path() + L"never.bin"));
    EXPECT_EQ(test::ReadFileBytes(m_folder.Path() + L"q.bin"), "q");
    // The query reaches the server as part of the path.
    EXPECT_EQ(Requests("/q.php?x=1&y=two HTTP/1.1").size(), 1u);
}

TEST_F(DownloaderTest, NothingListeningIsAFailure) {
    // Port 1 of the loopback address: nothing of the tests listens there.
    DownloadRequest request = Request(L"http://127.0.0.1:1/x", 7);
    request.strTargetPath = m_folder.Path() + L"x.bin";
    CHttpDownloader downloader;
    ASSERT_TRUE(downloader.StartWorkers());
    ASSERT_TRUE(downloader.AddRequest(request));
    ASSERT_TRUE(m_recorder.WaitForEnds(1, 60000));
    EXPECT_LT(m_recorder.EventsOf(7).back().result, 0);
    EXPECT_FALSE(test::FileExists(m_folder.Path() + L"x.bin"));
}

TEST_F(DownloaderTest, GuidPrefixedTargetIsMadeOnceAndReported) {
    DownloadRequest request = Request(m_fixture.Url("body=g;case=guid", L"/dir/pic.gif"));
    request.strTargetPath = m_folder.Path();
    request.bGuidPrefix = 1;
    CHttpDownloader downloader;
    ASSERT_TRUE(downloader.StartWorkers());
    ASSERT_TRUE(downloader.AddRequest(request));
    ASSERT_TRUE(m_recorder.WaitForEnds(1, 20000));
    const Event end = m_recorder.Events().back();
    ASSERT_EQ(end.result, DL_OK);
    const std::wstring name = end.target.substr(m_folder.Path().size());
    ASSERT_EQ(end.target.substr(0, m_folder.Path().size()), m_folder.Path());
    // XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX_pic.gif
    ASSERT_EQ(name.size(), 36u + 1 + 7) << name;
    for (size_t i = 0; i < 36; ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23)
            EXPECT_EQ(name[i], L'-') << name;
        else
            EXPECT_TRUE(iswxdigit(name[i])) << name;
    }
    EXPECT_EQ(name.substr(36), L"_pic.gif");
    EXPECT_EQ(test::ReadFileBytes(end.target), "g");
}

TEST_F(DownloaderTest, RetriesThreeAttemptsASecondApartThenOneEnd) {
    // Every attempt gets as far as the body (so the target has been completed) and fails there.
    DownloadRequest request =
        Request(m_fixture.Url("size=5000;send=100;case=retry", L"/official/r.bin"), 1);
    request.nRetries = 2;
    request.strTargetPath = m_folder.Path() + L"retry";
    request.bAppendUrlName = 1;
    ASSERT_TRUE(CreateDirectoryW(request.strTargetPath.c_str(), nullptr));
    CHttpDownloader downloader;
    ASSERT_TRUE(downloader.StartWorkers());
    ASSERT_TRUE(downloader.AddRequest(request));
    ASSERT_TRUE(m_recorder.WaitForEnds(1, 20000));
    downloader.StopAll(); // after this no further event can come
    EXPECT_EQ(m_recorder.Count(1, DL_EVENT_BEGIN), 1u);
    EXPECT_EQ(m_recorder.Count(1, DL_EVENT_END), 1u);
    const Event end = m_recorder.Events().back();
    EXPECT_EQ(end.result, DL_ERR_READ);
    // Completed once: later attempts reuse the path instead of appending the name again.
    EXPECT_EQ(end.target, m_folder.Path() + L"retry\\r.bin");
    const auto attempts = Requests("case=retry");
    ASSERT_EQ(attempts.size(), 3u);
    for (size_t i = 1; i < attempts.size(); ++i) {
        const unsigned gap = attempts[i].ms - attempts[i - 1].ms;
        EXPECT_GE(gap, 900u) << "attempt " << i;
        EXPECT_LT(gap, 5000u) << "attempt " << i;
    }
    EXPECT_FALSE(test::FileExists(end.target));
}

TEST_F(DownloaderTest, StoppingMidBodyCancelsWithoutEndAndDeletesThePartialFile) {
    // 50 MB announced, 8 KB every 20 ms: the transfer is far from done when the stop comes.
    DownloadRequest request =
        Request(m_fixture.Url("size=50000000;chunk=8192;every=20;case=stop", L"/big.bin"), 2);
    const std::wstring target = m_folder.Path() + L"big.bin";
    request.strTargetPath = target;
    auto downloader = std::make_unique<CHttpDownloader>();
    ASSERT_TRUE(downloader->StartWorkers());
    ASSERT_TRUE(downloader->AddRequest(request));
    const DWORD start = GetTickCount();
    while (m_recorder.Count(2, DL_EVENT_PROGRESS) < 3 && GetTickCount() - start < 20000)
        Sleep(20);
    ASSERT_GE(m_recorder.Count(2, DL_EVENT_PROGRESS), 3u);
    ASSERT_TRUE(test::FileExists(target));

    const DWORD before = GetTickCount();
    downloader->StopAll();
    const DWORD spent = GetTickCount() - before;
    // Past 5 s the worker would have been terminated instead of finishing its clean-up.
    EXPECT_LT(spent, 5000u);
    EXPECT_FALSE(downloader->IsStarted());
    downloader.reset();
    EXPECT_EQ(m_recorder.Count(2, DL_EVENT_END), 0u);
    EXPECT_FALSE(test::FileExists(target));
}

TEST_F(DownloaderTest, LargeBodyProgressClimbsToOneHundred) {
    // Past 42 MB a 32-bit (length - remaining) * 100 wraps around.
    const size_t size = 45u * 1024 * 1024;
    DownloadRequest request =
        Request(m_fixture.Url("size=" + std::to_string(size) + ";case=large", L"/large.bin"), 3);
    const std::wstring target = m_folder.Path() + L"large.bin";
    request.strTargetPath = target;
    CHttpDownloader downloader;
    ASSERT_TRUE(downloader.StartWorkers());
    ASSERT_TRUE(downloader.AddRequest(request));
    ASSERT_TRUE(m_recorder.WaitForEnds(1, 120000));
    downloader.StopAll();
    ASSERT_EQ(m_recorder.Events().back().result, DL_OK);
    intptr_t last = -1;
    size_t count = 0;
    for (const Event& e : m_recorder.EventsOf(3)) {
        if (e.event != DL_EVENT_PROGRESS)
            continue;
        ++count;
        ASSERT_GE(e.extra, last) << "progress event " << count;
        ASSERT_LE(e.extra, 100);
        last = e.extra;
    }
    EXPECT_EQ(last, 100);
    EXPECT_GE(count, size / 10240);
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    ASSERT_TRUE(GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(data.nFileSizeLow, size);
}

TEST_F(DownloaderTest, RequestsQueuedFromTwoThreadsEachGetOneBeginAndOneEnd) {
    const int perThread = 20;
    CHttpDownloader downloader;
    ASSERT_TRUE(downloader.StartWorkers());
    auto queue = [&](int first) {
        for (int k = first; k < first + perThread; ++k) {
            DownloadRequest request =
                Request(m_fixture.Url("body=m;case=many" + std::to_string(k), L"/m"), k);
            if (k % 2)
                request.strTargetPath = m_folder.Path() + L"m" + std::to_wstring(k) + L".bin";
            downloader.AddRequest(request);
        }
    };
    std::thread a(queue, 0), b(queue, perThread);
    a.join();
    b.join();
    ASSERT_TRUE(m_recorder.WaitForEnds(2 * perThread, 60000));
    downloader.StopAll();
    for (int k = 0; k < 2 * perThread; ++k) {
        const auto events = m_recorder.EventsOf(k);
        ASSERT_EQ(m_recorder.Count(k, DL_EVENT_BEGIN), 1u) << k;
        ASSERT_EQ(m_recorder.Count(k, DL_EVENT_END), 1u) << k;
        EXPECT_EQ(events.front().event, DL_EVENT_BEGIN) << k;
        EXPECT_EQ(events.back().event, DL_EVENT_END) << k;
        EXPECT_EQ(events.back().result, DL_OK) << k;
        EXPECT_EQ(Requests("case=many" + std::to_string(k) + "/").size(), 1u) << k;
    }
}

TEST_F(DownloaderTest, QueuedBeforeStartIsServedAfterAndDroppedAtDestructionWithoutEvents) {
    {
        CHttpDownloader downloader;
        ASSERT_TRUE(downloader.AddRequest(Request(m_fixture.Url("body=1;case=early", L"/e"), 1)));
        Sleep(300);
        EXPECT_EQ(m_recorder.Events().size(), 0u); // no worker yet
        EXPECT_FALSE(downloader.IsStarted());
        ASSERT_TRUE(downloader.StartWorkers());
        EXPECT_TRUE(downloader.IsStarted());
        EXPECT_TRUE(downloader.StartWorkers()); // once running, nothing more happens
        ASSERT_TRUE(m_recorder.WaitForEnds(1, 20000));
        EXPECT_EQ(m_recorder.Events().back().result, DL_OK);
    }
    {
        CHttpDownloader downloader; // never started: its queue goes with it, unreported
        ASSERT_TRUE(downloader.AddRequest(Request(m_fixture.Url("body=2;case=dropped", L"/d"), 2)));
    }
    EXPECT_EQ(m_recorder.EventsOf(2).size(), 0u);
    EXPECT_EQ(Requests("case=dropped").size(), 0u);
}

} // namespace

// Machine id on Wine's real hardware answers, the processor-affinity rule in processes of its
// own, and the network-adapter check against the real registry.
#include "stats/MachineId.h"
#include "stats/Statistics.h"

#include "TestSupport.h"
#include "app/WinHandles.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <memory>

namespace {

const wchar_t kProbeOutput[] = L"VELMORA_MACHINE_PROBE_OUT";

bool IsLowerHex(const std::wstring& text) {
    for (wchar_t c : text)
        if (!((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f')))
            return false;
    return true;
}

// Run by the tests below in a process of its own (skipped otherwise): reports what this
// process computes, one value a line.
TEST(MachineProbe, Report) {
    wchar_t path[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(kProbeOutput, path, MAX_PATH))
        GTEST_SKIP() << "only run as a child process";
    AffinityRecord affinity;
    wchar_t cpu[kCpuIdTextLength] = {};
    const bool cpuOk = GetCpuIdText(&affinity, cpu);
    wchar_t text[kMachineTextLength] = {};
    BuildMachineText(text);
    CStatistics stats;
    const std::wstring report = std::wstring(cpuOk ? L"1" : L"0") + L"\n" + cpu + L"\n" + text +
                                L"\n" + GetMachineId(stats) + L"\n";
    ASSERT_TRUE(test::WriteFileBytes(path, std::string(reinterpret_cast<const char*>(report.data()),
                                                       report.size() * sizeof(wchar_t))));
}

struct ProbeReport {
    bool ran = false;
    bool cpuOk = false;
    std::wstring cpu, text, id;
};

// Starts this test program as a probe, optionally bound to the processors in `mask` from
// its first instruction on.
ProbeReport RunProbe(DWORD_PTR mask = 0) {
    ProbeReport report;
    test::TempFolder folder;
    const std::wstring out = folder.Path() + L"probe.txt";
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(exe) + L"\" --gtest_filter=MachineProbe.Report";
    SetEnvironmentVariableW(kProbeOutput, out.c_str());
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    const BOOL started = CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE,
                                        CREATE_SUSPENDED, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableW(kProbeOutput, nullptr);
    if (!started)
        return report;
    UniqueKernelHandle process(pi.hProcess), thread(pi.hThread);
    if (mask && !SetProcessAffinityMask(process.Get(), mask)) {
        TerminateProcess(process.Get(), 1);
        return report;
    }
    ResumeThread(thread.Get());
    if (WaitForSingleObject(process.Get(), 60000) != WAIT_OBJECT_0) {
        TerminateProcess(process.Get(), 1);
        return report;
    }
    const std::string bytes = test::ReadFileBytes(out);
    std::wstring all(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    std::wstring fields[4];
    for (std::wstring& field : fields) {
        const size_t end = all.find(L'\n');
        if (end == std::wstring::npos)
            return report;
        field = all.substr(0, end);
        all.erase(0, end + 1);
    }
    report.ran = true;
    report.cpuOk = fields[0] == L"1";
    report.cpu = fields[1];
    report.text = fields[2];
    report.id = fields[3];
    return report;
}

TEST(MachineId, SameInEveryRunAndMadeOfItsParts) {
    const ProbeReport first = RunProbe();
    const ProbeReport second = RunProbe();
    ASSERT_TRUE(first.ran && second.ran);
    EXPECT_EQ(first.id, second.id);
    EXPECT_EQ(first.text, second.text);
    EXPECT_EQ(first.id.size(), 32u);
    EXPECT_TRUE(IsLowerHex(first.id)) << first.id;
    EXPECT_EQ(first.id, MachineIdFromText(first.text.c_str()));
    // This process runs on every processor as well: it computes the same id.
    CStatistics stats;
    EXPECT_EQ(GetMachineId(stats), first.id);
    // The processor part leads the text: 35 characters of four upper-case hex groups.
    ASSERT_TRUE(first.cpuOk);
    ASSERT_EQ(first.cpu.size(), 35u) << first.cpu;
    EXPECT_EQ(first.text.compare(0, 35, first.cpu), 0);
    for (size_t i = 0; i < first.cpu.size(); ++i) {
        const wchar_t c = first.cpu[i];
        if (i % 9 == 8)
            EXPECT_EQ(c, L'-');
        else
            EXPECT_TRUE((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F')) << first.cpu;
    }
}

TEST(MachineId, NarrowedAffinityLeavesOutTheProcessorPart) {
    DWORD_PTR processMask = 0, systemMask = 0;
    ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask));
    if ((systemMask & (systemMask - 1)) == 0)
        GTEST_SKIP() << "one processor: no narrower mask exists";
    const ProbeReport full = RunProbe();
    const ProbeReport narrowed = RunProbe(1);
    ASSERT_TRUE(full.ran);
    ASSERT_TRUE(narrowed.ran) << "the system refused a narrower affinity mask";
    EXPECT_FALSE(narrowed.cpuOk);
    EXPECT_EQ(narrowed.cpu, L"");
    // Same disk and adapter parts, without the processor in front.
    ASSERT_TRUE(full.cpuOk);
    EXPECT_EQ(narrowed.text, full.text.substr(full.cpu.size()));
    EXPECT_NE(narrowed.id, full.id);
    EXPECT_EQ(narrowed.id, MachineIdFromText(narrowed.text.c_str()));
}

TEST(MachineId, KeptIdIsReturnedAsItIs) {
    CStatistics stats;
    stats.m_strMachineId = L"kept";
    EXPECT_EQ(GetMachineId(stats), L"kept");
}

TEST(MachineId, EmptyTextGivesTheDigestOfNothing) {
    EXPECT_EQ(MachineIdFromText(L""), L"d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(MachineIdFromText(nullptr), L"d41d8cd98f00b204e9800998ecf8427e");
    // The digest is of the ANSI bytes: "abc".
    EXPECT_EQ(MachineIdFromText(L"abc"), L"900150983cd24fb0d6963f7d28e17f72");
}

TEST(MachineId, PartsAreWellFormedAndStable) {
    std::unique_ptr<DiskSerialList> list(new DiskSerialList());
    wchar_t serial[kDiskSerialLength] = {};
    const bool haveSerial = GetDiskSerial(list.get(), serial);
    if (haveSerial) {
        EXPECT_EQ(wcschr(serial, L' '), nullptr) << serial;
        EXPECT_GT(wcslen(serial), 0u);
        EXPECT_EQ(list->nReadPos, 1);
        // A second hand-out from the same list is the next drive's, or nothing.
        wchar_t next[kDiskSerialLength] = {};
        EXPECT_EQ(GetDiskSerial(list.get(), next), list->nFound >= 2);
    }
    std::unique_ptr<DiskSerialList> again(new DiskSerialList());
    wchar_t serial2[kDiskSerialLength] = {};
    EXPECT_EQ(GetDiskSerial(again.get(), serial2), haveSerial);
    EXPECT_STREQ(serial, serial2);

    wchar_t mac[kMacAddressTextLength] = {};
    if (GetMacAddressText(mac)) {
        ASSERT_EQ(wcslen(mac), 12u) << mac;
        for (const wchar_t* p = mac; *p; ++p)
            EXPECT_TRUE((*p >= L'0' && *p <= L'9') || (*p >= L'A' && *p <= L'F')) << mac;
    }
    EXPECT_TRUE(IsVistaOrLater());
}

// The network-adapter class key of a made-up adapter, removed again at the end.
class AdapterKey {
public:
    AdapterKey(const wchar_t* name, const wchar_t* pnpId, const DWORD* mediaSubType)
        : m_path(std::wstring(L"System\\CurrentControlSet\\Control\\Network\\"
                              L"{4D36E972-E325-11CE-BFC1-08002BE10318}\\") +
                 name) {
        UniqueRegKey key;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, (m_path + L"\\Connection").c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, key.Out(), nullptr);
        if (pnpId)
            RegSetValueExW(key.Get(), L"PnpInstanceID", 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(pnpId),
                           static_cast<DWORD>((wcslen(pnpId) + 1) * sizeof(wchar_t)));
        if (mediaSubType)
            RegSetValueExW(key.Get(), L"MediaSubType", 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(mediaSubType), sizeof(DWORD));
    }
    ~AdapterKey() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_path.c_str()); }
    AdapterKey(const AdapterKey&) = delete;
    AdapterKey& operator=(const AdapterKey&) = delete;

private:
    std::wstring m_path;
};

IP_ADAPTER_INFO Adapter(const char* name, UINT type) {
    IP_ADAPTER_INFO info = {};
    strncpy(info.AdapterName, name, sizeof(info.AdapterName) - 1);
    info.Type = type;
    return info;
}

TEST(IsPciEthernetAdapter, RegistryAndTypeCases) {
    const DWORD one = 1;
    struct Case {
        const char* name;
        const wchar_t* pnpId; // null: no key at all
        UINT type;
        bool expected;
    };
    const Case cases[] = {
        {"{7E57A0D0-0000-4000-8000-000000000001}", L"PCI\\VEN_8086&DEV_100E\\3&1", 6, true},
        {"{7E57A0D0-0000-4000-8000-000000000002}", L"pci\\ven_10ec&dev_8168", 6, true},
        {"{7E57A0D0-0000-4000-8000-000000000003}", L"PCI\\VEN_8086&DEV_4232", 71, false},
        {"{7E57A0D0-0000-4000-8000-000000000004}", L"USB\\VID_0B95&PID_7720", 6, false},
        {"{7E57A0D0-0000-4000-8000-000000000005}", L"PC", 6, false},
        {"{7E57A0D0-0000-4000-8000-000000000006}", L"", 6, false},
        {"{7E57A0D0-0000-4000-8000-000000000007}", nullptr, 6, false},
    };
    for (const Case& c : cases) {
        std::wstring wideName(c.name, c.name + strlen(c.name));
        std::unique_ptr<AdapterKey> key;
        if (c.pnpId)
            key.reset(new AdapterKey(wideName.c_str(), c.pnpId, &one));
        const IP_ADAPTER_INFO info = Adapter(c.name, c.type);
        EXPECT_EQ(IsPciEthernetAdapter(&info), c.expected) << c.name;
    }
}

TEST(IsPciEthernetAdapter, KeyWithoutValueAndUnterminatedNameAreNotAdapters) {
    AdapterKey noValue(L"{7E57A0D0-0000-4000-8000-000000000008}", nullptr, nullptr);
    IP_ADAPTER_INFO info = Adapter("{7E57A0D0-0000-4000-8000-000000000008}", 6);
    EXPECT_FALSE(IsPciEthernetAdapter(&info));
    // A name filling its whole array: read no further than the array.
    memset(info.AdapterName, 'A', sizeof(info.AdapterName));
    EXPECT_FALSE(IsPciEthernetAdapter(&info));
    EXPECT_FALSE(IsPciEthernetAdapter(nullptr));
}

} // namespace

#include "stats/MachineId.h"

#include "app/Config.h"
#include "app/Text.h"
#include "app/WinHandles.h"
#include "stats/Md5.h"
#include "stats/SerialText.h"
#include "stats/Statistics.h"

#include <winioctl.h>

#include <algorithm>
#include <cpuid.h>
#include <cstring>
#include <cwchar>
#include <memory>
#include <vector>

namespace {

// Control codes of the drive queries.
const DWORD kSmartGetVersion = 0x74080;
const DWORD kSmartRcvDriveData = 0x7C088;
const DWORD kScsiMiniport = 0x4D008;
const DWORD kScsiMiniportIdentify = 0x1B0501;
const DWORD kStorageQueryProperty = 0x2D1400;
const DWORD kStorageGetMediaSerialNumber = 0x2D0C10;

const BYTE kIdentifyDevice = 0xEC;
const BYTE kIdentifyPacketDevice = 0xA1;
const int kDrivesToTry = 16;
const DWORD kStorageAnswerSize = 8192;

// The answer layouts the drivers use (byte-packed records).
static_assert(sizeof(GETVERSIONINPARAMS) == 24, "GETVERSIONINPARAMS layout");
static_assert(sizeof(SENDCMDINPARAMS) == 33, "SENDCMDINPARAMS layout");
static_assert(sizeof(SENDCMDOUTPARAMS) == 17, "SENDCMDOUTPARAMS layout");
const size_t kSendCmdInSize = sizeof(SENDCMDINPARAMS) - 1;             // 32: no data bytes follow
const size_t kSendCmdOutHeader = sizeof(SENDCMDOUTPARAMS) - 1;         // 16: IDENTIFY data follows
const size_t kSmartAnswerSize = kSendCmdOutHeader + kIdentifyDataSize; // 528

// SRB_IO_CONTROL as the miniport expects it (28 bytes).
struct SrbIoControl {
    ULONG HeaderLength;
    UCHAR Signature[8];
    ULONG Timeout;
    ULONG ControlCode;
    ULONG ReturnCode;
    ULONG Length;
};
static_assert(sizeof(SrbIoControl) == 28, "SRB_IO_CONTROL layout");
const size_t kMiniportInSize = sizeof(SrbIoControl) + kSendCmdInSize;                  // 60
const size_t kMiniportOutSize = sizeof(SrbIoControl) + sizeof(SENDCMDOUTPARAMS) + 512; // 557

struct CpuIdCache {
    wchar_t text[kCpuIdTextLength] = {};
    bool valid = false;
};
CpuIdCache& ProcessorCache() {
    static CpuIdCache cache;
    return cache;
}

void AppendBounded(wchar_t* text, size_t capacity, const wchar_t* part) {
    // wcscat_s semantics without its failure handler: a part that does not fit is left out.
    const size_t used = wcsnlen(text, capacity);
    const size_t add = wcsnlen(part, capacity);
    if (used + add < capacity)
        wmemcpy(text + used, part, add + 1);
}

void StoreSerial(DiskSerialList* list, const std::wstring& serial) {
    if (list->nFound < 0 || list->nFound >= kMaxDiskSerials)
        return;
    wchar_t* entry = list->szSerials[list->nFound];
    const size_t n = serial.size() < kDiskSerialLength - 1 ? serial.size() : kDiskSerialLength - 1;
    wmemcpy(entry, serial.data(), n);
    entry[n] = 0;
    ++list->nFound;
}

bool ListFull(const DiskSerialList* list) {
    return list->nFound >= kMaxDiskSerials;
}

UniqueFileHandle OpenDevice(const wchar_t* format, int number, DWORD access) {
    wchar_t path[256] = {};
    if (_snwprintf_s(path, 256, _TRUNCATE, format, number) < 0)
        return UniqueFileHandle();
    return UniqueFileHandle(CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
}

bool ReadViaSmart(DiskSerialList* list) {
    bool stored = false;
    for (int drive = 0; drive < kDrivesToTry && !ListFull(list); ++drive) {
        UniqueFileHandle device =
            OpenDevice(L"\\\\.\\PhysicalDrive%d", drive, GENERIC_READ | GENERIC_WRITE);
        if (!device)
            continue;
        GETVERSIONINPARAMS version = {};
        DWORD got = 0;
        if (!DeviceIoControl(device.Get(), kSmartGetVersion, nullptr, 0, &version, sizeof(version),
                             &got, nullptr) ||
            version.bIDEDeviceMap == 0)
            continue;
        unsigned char in[sizeof(SENDCMDINPARAMS)] = {};
        auto* command = reinterpret_cast<SENDCMDINPARAMS*>(in);
        command->cBufferSize = kIdentifyDataSize;
        command->irDriveRegs.bFeaturesReg = 0;
        command->irDriveRegs.bSectorCountReg = 1;
        command->irDriveRegs.bSectorNumberReg = 0;
        command->irDriveRegs.bCylLowReg = 0;
        command->irDriveRegs.bCylHighReg = 0;
        command->irDriveRegs.bDriveHeadReg = (drive & 1) ? 0xB0 : 0xA0;
        command->irDriveRegs.bCommandReg =
            ((version.bIDEDeviceMap >> drive) & 0x10) ? kIdentifyPacketDevice : kIdentifyDevice;
        command->bDriveNumber = static_cast<BYTE>(drive);
        unsigned char out[kSmartAnswerSize] = {};
        got = 0;
        if (!DeviceIoControl(device.Get(), kSmartRcvDriveData, in, kSendCmdInSize, out, sizeof(out),
                             &got, nullptr))
            continue;
        StoreSerial(list, SerialFromIdentify(out + kSendCmdOutHeader, kIdentifyDataSize));
        stored = true;
    }
    return stored;
}

bool ReadViaScsiMiniport(DiskSerialList* list) {
    bool stored = false;
    for (int controller = 0; controller < kDrivesToTry && !ListFull(list); ++controller) {
        UniqueFileHandle device =
            OpenDevice(L"\\\\.\\Scsi%d:", controller, GENERIC_READ | GENERIC_WRITE);
        if (!device)
            continue;
        for (BYTE target = 0; target < 2 && !ListFull(list); ++target) {
            // One buffer carries the request out and the answer back.
            unsigned char buffer[kMiniportOutSize] = {};
            auto* srb = reinterpret_cast<SrbIoControl*>(buffer);
            srb->HeaderLength = sizeof(SrbIoControl);
            memcpy(srb->Signature, "SCSIDISK", 8);
            srb->Timeout = 10000;
            srb->ControlCode = kScsiMiniportIdentify;
            srb->ReturnCode = 0;
            srb->Length = sizeof(SENDCMDOUTPARAMS) + kIdentifyDataSize; // 529
            auto* command = reinterpret_cast<SENDCMDINPARAMS*>(buffer + sizeof(SrbIoControl));
            command->irDriveRegs.bCommandReg = kIdentifyDevice;
            command->bDriveNumber = target;
            DWORD got = 0;
            if (!DeviceIoControl(device.Get(), kScsiMiniport, buffer, kMiniportInSize, buffer,
                                 sizeof(buffer), &got, nullptr))
                continue;
            const unsigned char* identify = buffer + sizeof(SrbIoControl) + kSendCmdOutHeader;
            if (!IdentifyHasModel(identify, kIdentifyDataSize))
                continue;
            StoreSerial(list, SerialFromIdentify(identify, kIdentifyDataSize));
            stored = true;
        }
    }
    return stored;
}

bool ReadViaStorageQuery(DiskSerialList* list) {
    bool stored = false;
    std::vector<unsigned char> answer(kStorageAnswerSize);
    for (int drive = 0; drive < kDrivesToTry && !ListFull(list); ++drive) {
        UniqueFileHandle device = OpenDevice(L"\\\\.\\PhysicalDrive%d", drive, 0);
        if (!device)
            continue;
        STORAGE_PROPERTY_QUERY query = {};
        query.PropertyId = StorageDeviceProperty;
        query.QueryType = PropertyStandardQuery;
        std::fill(answer.begin(), answer.end(), 0);
        DWORD got = 0;
        bool found = false;
        if (DeviceIoControl(device.Get(), kStorageQueryProperty, &query, 12, answer.data(),
                            kStorageAnswerSize, &got, nullptr)) {
            const std::wstring serial = SerialFromStorageDescriptor(answer.data(), got);
            if (IsAcceptableSerial(serial)) {
                StoreSerial(list, serial);
                found = true;
            }
        }
        if (!found && !ListFull(list)) {
            std::fill(answer.begin(), answer.end(), 0);
            got = 0;
            if (DeviceIoControl(device.Get(), kStorageGetMediaSerialNumber, nullptr, 0,
                                answer.data(), kStorageAnswerSize, &got, nullptr)) {
                const std::wstring serial = SerialFromMediaSerial(answer.data(), got);
                if (IsAcceptableSerial(serial)) {
                    StoreSerial(list, serial);
                    found = true;
                }
            }
        }
        stored = stored || found;
    }
    return stored;
}

bool GetOsVersion(OSVERSIONINFOW* info) {
    *info = {};
    info->dwOSVersionInfoSize = sizeof(*info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return GetVersionExW(info) != FALSE;
#pragma GCC diagnostic pop
}

} // namespace

std::wstring MachineIdFromText(const wchar_t* text) {
    std::string ansi;
    WideToAnsi(text ? text : L"", &ansi);
    const Md5Bytes digest =
        Md5Digest(reinterpret_cast<const unsigned char*>(ansi.data()), ansi.size());
    return BytesToHex(digest.data());
}

std::wstring GetMachineId(const CStatistics& stats) {
    if (!stats.m_strMachineId.empty())
        return stats.m_strMachineId;
    wchar_t text[kMachineTextLength] = {};
    BuildMachineText(text);
    return MachineIdFromText(text);
}

void BuildMachineText(wchar_t text[kMachineTextLength]) {
    text[0] = 0;
    AffinityRecord affinity;
    wchar_t cpu[kCpuIdTextLength] = {};
    if (GetCpuIdText(&affinity, cpu))
        AppendBounded(text, kMachineTextLength, cpu);

    // Large: keep it off the stack.
    std::unique_ptr<DiskSerialList> disks(new DiskSerialList());
    wchar_t serial[kDiskSerialLength] = {};
    if (GetDiskSerial(disks.get(), serial))
        AppendBounded(text, kMachineTextLength, serial);

    wchar_t mac[kMacAddressTextLength] = {};
    if (GetMacAddressText(mac))
        AppendBounded(text, kMachineTextLength, mac);
}

bool GetCpuIdText(AffinityRecord* affinity, wchar_t out[kCpuIdTextLength]) {
    out[0] = 0;
    CpuIdCache& cache = ProcessorCache();
    if (cache.valid) {
        wmemcpy(out, cache.text, kCpuIdTextLength);
        return true;
    }
    affinity->hProcess = GetCurrentProcess();
    if (!GetProcessAffinityMask(affinity->hProcess, &affinity->dwProcessMask,
                                &affinity->dwSystemMask))
        return true; // nothing known about the processors: no processor part, nothing to undo
    if (affinity->dwProcessMask != affinity->dwSystemMask)
        return false;
    affinity->dwTryMask = 1;
    if (affinity->dwTryMask <= affinity->dwProcessMask) {
        // Leaf 1 carries the processor's own APIC id: always read it on the first processor.
        if ((affinity->dwTryMask & affinity->dwProcessMask) &&
            SetProcessAffinityMask(affinity->hProcess, affinity->dwTryMask))
            Sleep(0);
        unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
        __cpuid(1, eax, ebx, ecx, edx);
        swprintf(out, kCpuIdTextLength, L"%08X-%08X-%08X-%08X", eax, ebx, ecx, edx);
        SetProcessAffinityMask(affinity->hProcess, affinity->dwProcessMask);
        wmemcpy(cache.text, out, kCpuIdTextLength);
        cache.valid = true;
    } else {
        SetProcessAffinityMask(affinity->hProcess, affinity->dwProcessMask);
    }
    return true;
}

bool GetDiskSerial(DiskSerialList* list, wchar_t out[kDiskSerialLength]) {
    out[0] = 0;
    OSVERSIONINFOW version;
    // The client cannot start on the old non-NT systems: they have no serial to offer here.
    if (!GetOsVersion(&version) || version.dwPlatformId != VER_PLATFORM_WIN32_NT)
        return false;
    if (!ReadViaSmart(list) && !ReadViaScsiMiniport(list))
        ReadViaStorageQuery(list);
    if (list->nReadPos >= 0 && list->nReadPos < list->nFound && list->nFound <= kMaxDiskSerials) {
        const wchar_t* entry = list->szSerials[list->nReadPos];
        const size_t n = wcsnlen(entry, kDiskSerialLength - 1);
        wmemcpy(out, entry, n);
        out[n] = 0;
        ++list->nReadPos;
        return true;
    }
    return false;
}

bool GetMacAddressText(wchar_t out[kMacAddressTextLength]) {
    ULONG size = 648;
    std::vector<unsigned char> buffer(size);
    DWORD result = GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
    if (result == ERROR_BUFFER_OVERFLOW) {
        buffer.assign(size, 0);
        result = GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
    }
    if (result != NO_ERROR)
        return false;
    const auto* first = reinterpret_cast<const IP_ADAPTER_INFO*>(buffer.data());
    const IP_ADAPTER_INFO* chosen = nullptr;
    for (const IP_ADAPTER_INFO* adapter = first; adapter; adapter = adapter->Next) {
        if (IsPciEthernetAdapter(adapter)) {
            chosen = adapter;
            break;
        }
    }
    if (!chosen)
        chosen = first;
    const BYTE* a = chosen->Address;
    return _snwprintf_s(out, kMacAddressTextLength, _TRUNCATE, L"%02X%02X%02X%02X%02X%02X", a[0],
                        a[1], a[2], a[3], a[4], a[5]) > 0;
}

bool IsPciEthernetAdapter(const IP_ADAPTER_INFO* adapter) {
    if (!adapter)
        return false;
    // The name is a fixed array: never trust it to be terminated.
    const std::string narrow(adapter->AdapterName,
                             strnlen(adapter->AdapterName, sizeof(adapter->AdapterName)));
    std::wstring name;
    if (!AnsiToWide(narrow.c_str(), &name))
        return false;
    wchar_t keyName[512] = {};
    if (_snwprintf_s(keyName, 512, _TRUNCATE,
                     L"System\\CurrentControlSet\\Control\\Network\\"
                     L"{4D36E972-E325-11CE-BFC1-08002BE10318}\\%ls\\Connection",
                     name.c_str()) < 0)
        return false;
    UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyName, 0, KEY_READ, key.Out()) != ERROR_SUCCESS)
        return false;

    wchar_t value[513] = {}; // 1024 bytes read, one more character for the terminator
    DWORD bytes = 1024;
    if (RegQueryValueExW(key.Get(), L"PnpInstanceID", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(value), &bytes) != ERROR_SUCCESS)
        return false;
    if (_wcsnicmp(value, L"pci", 3) != 0)
        return false;
    if (IsVistaOrLater())
        return adapter->Type == MIB_IF_TYPE_ETHERNET;

    BYTE subType[1024] = {};
    bytes = sizeof(subType);
    if (RegQueryValueExW(key.Get(), L"MediaSubType", nullptr, nullptr, subType, &bytes) !=
            ERROR_SUCCESS ||
        bytes < sizeof(DWORD))
        return false;
    DWORD first = 0;
    memcpy(&first, subType, sizeof(first));
    return first == 1;
}

bool IsVistaOrLater() {
    OSVERSIONINFOW version;
    return GetOsVersion(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
           version.dwMajorVersion >= 6;
}

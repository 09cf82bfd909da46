// Machine id: MD5 of the processor, first disk serial and network adapter identifiers.
#pragma once

#include <windows.h>
#include <iphlpapi.h>

#include <cstdint>
#include <string>

class CStatistics;

constexpr size_t kMachineTextLength = 128;
constexpr size_t kCpuIdTextLength = 36;
constexpr size_t kDiskSerialLength = 64;
constexpr size_t kMacAddressTextLength = 16;
constexpr int kMaxDiskSerials = 32;

// Used while the processor text is read on the first processor.
struct AffinityRecord {
    HANDLE hProcess = nullptr;
    DWORD_PTR dwProcessMask = 0;
    DWORD_PTR dwSystemMask = 0;
    DWORD_PTR dwTryMask = 1;
};

struct DiskSerialList {
    int32_t nFound = 0;
    int32_t nReadPos = 0;
    wchar_t szSerials[kMaxDiskSerials][kDiskSerialLength] = {};
};

// The statistics object's machine id when it has one, else computed now.
std::wstring GetMachineId(const CStatistics& stats);
void BuildMachineText(wchar_t text[kMachineTextLength]);
// False when the process may not run on every processor (then there is no processor part).
bool GetCpuIdText(AffinityRecord* affinity, wchar_t out[kCpuIdTextLength]);
bool GetDiskSerial(DiskSerialList* list, wchar_t out[kDiskSerialLength]);
bool GetMacAddressText(wchar_t out[kMacAddressTextLength]);
bool IsPciEthernetAdapter(const IP_ADAPTER_INFO* adapter);
bool IsVistaOrLater();

// Digest of the machine text in the ANSI code page, as 32 lower-case hex digits.
std::wstring MachineIdFromText(const wchar_t* text);

// Target naming and progress arithmetic of the downloader. No Windows header: builds natively.
#pragma once

#include <cstdint>
#include <string>

// Text after the last '/' of the whole URL (query included); empty when there is no '/'.
std::wstring UrlFileName(const std::wstring& url);

// The file a request writes to. With appendUrlName: folder + one backslash + the URL's file
// name; otherwise with guidPrefix: folder + backslash + makeGuid() + "_" + file name;
// otherwise the target unchanged. makeGuid is called only when its text is used.
std::wstring CompleteTargetPath(const std::wstring& target, const std::wstring& url,
                                bool appendUrlName, bool guidPrefix, std::wstring (*makeGuid)());

// Share of `length` that has arrived, 0..100; 100 for an empty body.
int32_t DownloadPercent(uint32_t length, uint32_t remaining);

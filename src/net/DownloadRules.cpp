#include "net/DownloadRules.h"

#include "app/Text.h"

std::wstring UrlFileName(const std::wstring& url) {
    const size_t slash = url.rfind(L'/');
    if (slash == std::wstring::npos)
        return std::wstring();
    return url.substr(slash + 1);
}

std::wstring CompleteTargetPath(const std::wstring& target, const std::wstring& url,
                                bool appendUrlName, bool guidPrefix, std::wstring (*makeGuid)()) {
    if (appendUrlName)
        return AddBackslash(target) + UrlFileName(url);
    if (guidPrefix)
        return AddBackslash(target) + (makeGuid ? makeGuid() : std::wstring()) + L"_" +
               UrlFileName(url);
    return target;
}

int32_t DownloadPercent(uint32_t length, uint32_t remaining) {
    if (length == 0 || remaining == 0)
        return 100;
    if (remaining >= length)
        return 0;
    // In 64 bits: (length - remaining) * 100 passes 2^32 for bodies over about 42 MB.
    const uint64_t done = static_cast<uint64_t>(length - remaining);
    return static_cast<int32_t>(done * 100 / length);
}

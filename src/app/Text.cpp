#include "app/Text.h"

#include <climits>
#include <cstdarg>
#include <cwchar>
#include <cwctype>

std::wstring RemoveAll(std::wstring text, const std::wstring& part) {
    if (part.empty())
        return text;
    size_t pos = text.find(part);
    while (pos != std::wstring::npos) {
        text.erase(pos, part.size());
        pos = text.find(part, pos);
    }
    return text;
}

std::vector<std::wstring> SplitString(const std::wstring& delimiter, const std::wstring& text) {
    std::vector<std::wstring> pieces;
    if (delimiter.empty()) {
        if (!text.empty())
            pieces.push_back(text);
        return pieces;
    }
    size_t start = 0;
    size_t pos;
    while ((pos = text.find(delimiter, start)) != std::wstring::npos) {
        pieces.push_back(text.substr(start, pos - start));
        start = pos + 1;
    }
    if (start != text.size() && start < text.size())
        pieces.push_back(text.substr(start));
    return pieces;
}

// Reads exactly what `std::wistringstream >> int` reads (white space as iswspace sees it, one
// sign, decimal digits; out of range is a failed read), without the stream and locale code,
// which would otherwise make up most of the statically linked executable.
int StringToInt(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && iswspace(static_cast<wint_t>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    const size_t firstDigit = i;
    long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            return 0;
    }
    if (i == firstDigit)
        return 0;
    if (negative)
        value = -value;
    return value > INT_MAX ? 0 : static_cast<int>(value);
}

std::wstring GetUrlParam(const std::wstring& name, const std::wstring& url) {
    const std::wstring key = name + L"=";
    const size_t pos = url.find(key);
    if (pos == std::wstring::npos)
        return std::wstring();
    const size_t begin = pos + key.size();
    const size_t end = url.find(L'&', begin);
    return url.substr(begin, end == std::wstring::npos ? std::wstring::npos : end - begin);
}

std::wstring BytesToHex(const unsigned char bytes[16]) {
    static const wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring hex;
    hex.reserve(32);
    for (int i = 0; i < 16; ++i) {
        hex.push_back(kDigits[bytes[i] >> 4]);
        hex.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return hex;
}

std::wstring AddBackslash(std::wstring path) {
    if (!path.empty() && path.back() != L'\\')
        path.push_back(L'\\');
    return path;
}

bool CommandLineHasSwitch(const std::wstring& commandLine, const std::wstring& switchText) {
    return commandLine.find(switchText) != std::wstring::npos;
}

RunMode ChooseRunMode(const std::wstring& commandLine) {
    if (CommandLineHasSwitch(commandLine, L"/setupsucc"))
        return RunMode::InstallSuccess;
    if (CommandLineHasSwitch(commandLine, L"/uninstallsucc"))
        return RunMode::UninstallSuccess;
    if (CommandLineHasSwitch(commandLine, L"/ShowDeskTop"))
        return RunMode::ShowDesktop;
    return RunMode::Normal;
}

bool IsCountedRun(const std::wstring& commandLine) {
    return !CommandLineHasSwitch(commandLine, L"/setupsucc") &&
           !CommandLineHasSwitch(commandLine, L"/ShowDeskTop");
}

std::wstring BuildLoginQuery(const std::wstring& refer, const std::wstring& uid, int version,
                             const std::wstring& installTime, int runCount,
                             const std::wstring& curTime) {
    const std::wstring installDate = RemoveAll(installTime.substr(0, 10), L"-");
    std::wstring query = L"referer=" + refer + L"&frm=" + uid + L"&version=" +
                         std::to_wstring(version) + L"&installtime=" + installDate +
                         L"&runcount=" + std::to_wstring(runCount) + L"&curtime=" + curTime +
                         L"&showlogintype=3";
    if (runCount == 1)
        query += L"&regtimes=1";
    return query;
}

std::wstring AppendQuery(const std::wstring& url, const std::wstring& query) {
    return url + (url.find(L'?') != std::wstring::npos ? L"&" : L"?") + query;
}

std::wstring FormatW(const wchar_t* format, ...) {
    std::wstring out(256, L'\0');
    for (int attempt = 0; attempt < 8; ++attempt) {
        va_list args;
        va_start(args, format);
        const int n = vswprintf(&out[0], out.size(), format, args);
        va_end(args);
        if (n >= 0 && static_cast<size_t>(n) < out.size()) {
            out.resize(static_cast<size_t>(n));
            return out;
        }
        out.resize(out.size() * 4);
    }
    return std::wstring();
}

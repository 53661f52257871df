#include "player/units/Verinfo.h"

#include "platform/version/version.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

CVerInfo::CVerInfo(const QString& fileName) : fileName_(fileName) { Read(); }

void CVerInfo::Read()
{
    DWORD handle = 0;
    const DWORD size = version::GetFileVersionInfoSize(fileName_, &handle);
    if (size == 0) return;
    std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[size]());
    if (!block || !version::GetFileVersionInfo(fileName_, handle, size, block.get())) return;

    // The first language and code page of the translation table name the texts.
    const void* value = nullptr;
    UINT length = 0;
    if (!version::VerQueryValue(block.get(), QStringLiteral("\\VarFileInfo\\Translation"), &value, &length) ||
        length < 4)
        return;
    WORD translation[2];
    std::memcpy(translation, value, sizeof translation);
    char query[2048];
    std::snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\FileVersion", translation[0], translation[1]);
    if (!version::VerQueryValue(block.get(), QString::fromLatin1(query), &value, &length) || length == 0) return;

    std::int32_t numbers[4];
    if (!ParseVersionText(static_cast<const char*>(value), numbers)) return;
    major_ = numbers[0];
    minor_ = numbers[1];
    release_ = numbers[2];
    build_ = numbers[3];
}

bool CVerInfo::ParseVersionText(const char* text, std::int32_t numbers[4])
{
    for (int i = 0; i < 4; ++i) numbers[i] = 0;
    if (!text) return false;
    const char* p = text;
    while (*p == ' ' || *p == '\t') ++p;
    for (int i = 0; i < 4; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(*p))) {
            if (i == 0) return false;
            break;
        }
        long long n = 0;
        while (std::isdigit(static_cast<unsigned char>(*p))) {
            n = std::min<long long>(n * 10 + (*p - '0'), INT_MAX);
            ++p;
        }
        numbers[i] = static_cast<std::int32_t>(n);
        if (*p != '.') break;
        ++p;
    }
    return true;
}

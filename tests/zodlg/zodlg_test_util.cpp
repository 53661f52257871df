#include "zodlg_test_util.h"

#include "common/Reghelp.h"

#include <gtest/gtest.h>

namespace {

void SetValue(const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, kCddbKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueEx(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

}  // namespace

void SetCddbDword(const char* name, DWORD value) { SetValue(name, REG_DWORD, &value, sizeof value); }

void SetCddbText(const char* name, const std::string& text)
{
    SetValue(name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void SetCddbBinary(const char* name, const std::string& bytes)
{
    SetValue(name, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
}

void UseServer(int port, int timeoutMs)
{
    SetCddbText("CDDBServer", "127.0.0.1");
    SetCddbDword("ServerPort", static_cast<DWORD>(port));
    SetCddbDword("TimeOut", static_cast<DWORD>(timeoutMs));
}

std::string ReadRecord()
{
    return "210 rock 7a0b5c09 CD database entry follows (until terminating `.')\r\n"
           "# xmcd\r\n#\r\n# Track frame offsets:\r\n#\t150\r\n#\t18352\r\n#\t40125\r\n#\r\n"
           "# Disc length: 2652 seconds\r\n#\r\n# Revision: 3\r\n# Submitted via: ExampleRipper 1.0\r\n#\r\n"
           "DISCID=7a0b5c09\r\n"
           "DTITLE=Tsuki no Kai / \x8c\x8e\x82\xcc\x89\xcc\r\n"
           "DYEAR=2003\r\nDGENRE=Rock\r\n"
           "TTITLE0=Back\\\\nslash\r\n"
           "TTITLE1=Two\\tParts \r\nTTITLE1=Joined\r\n"
           "TTITLE2=\x89\xcc\r\n"
           "EXTD=\r\nEXTT0=\r\nEXTT1=\r\nEXTT2=\r\nPLAYORDER=2,0,1\r\n.\r\n";
}

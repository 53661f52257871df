// Shared by the zodlg tests: the CDDB key of the temporary registry and
// canned replies of the CD database.
#pragma once

#include "platform/registry/registry.h"

#include <string>

// Writes one value of the CDDB key (created when missing).
void SetCddbDword(const char* name, DWORD value);
void SetCddbText(const char* name, const std::string& text);
void SetCddbBinary(const char* name, const std::string& bytes);
// Points the client at the fake server on 127.0.0.1 with a short time-out.
void UseServer(int port, int timeoutMs = 2000);

// A query command as the player builds it, and the replies for its disc.
inline constexpr char kQuery[] = "cddb+query+7a0b5c09+3+150+18352+40125+2652";
inline constexpr std::uint32_t kDiscId = 0x7a0b5c09;
std::string ReadRecord();   // a 210 read reply body of three tracks, in CP932

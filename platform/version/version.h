// Version information of files: the stand-in for the system's version
// resources. Our deliverables carry a version block in an ELF note of their
// own (owner "Zoravel", written by the build's version stamp); a GStreamer
// plugin module answers with its plugin's version from GStreamer's
// registry; any other file has no version information.
//
// The three calls keep the platform's shape: the size of a file's block,
// the block copied into the caller's buffer, and values looked up in that
// buffer by path:
//   "\"                                    the four numbers (TFixedVersion)
//   "\VarFileInfo\Translation"             language and code page, 16 bits each
//   "\StringFileInfo\<lang><cp>\<name>"    a text, <lang><cp> as eight lower-case hex digits
// Every call is safe on any file: offsets and lengths are checked against
// the file, and nothing outside it is read.
#pragma once

#include "platform/wintypes.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace version {

// The language and code page of our texts: Japanese, UTF-8 (the system code page).
constexpr WORD kLanguage = 0x0411;
constexpr WORD kCodePage = 65001;

// What "\" gives: the four numbers in this order.
struct TFixedVersion {
    WORD Major = 0, Minor = 0, Release = 0, Build = 0;
};

// The size of `file`'s version block, 0 when it has none. `handle` (may be
// null) is set to 0, as the platform does.
DWORD GetFileVersionInfoSize(const QString& file, DWORD* handle);
// Copies the block into `data` (`length` bytes); false when the file has no
// block or `length` is too small for it.
bool GetFileVersionInfo(const QString& file, DWORD handle, DWORD length, void* data);
// Looks `subBlock` up in a block that GetFileVersionInfo filled. On success
// `*buffer` points into the block (texts are zero-ended, `*length` counts
// their characters with the zero; otherwise the value's bytes).
bool VerQueryValue(const void* block, const QString& subBlock, const void** buffer, UINT* length);

// The Linux file that stands in for a system component named by its Windows
// file name, empty when there is none: "wmvcore.dll", the Windows Media
// runtime, is the module of the GStreamer plugin that provides asfdemux.
QString SystemComponentPath(const QString& windowsName);

// ---- the block's reader, without the file system (tests, fuzzing) ----

// Reads `size` bytes at `offset` of the file; false when it cannot.
using ReadAt = std::function<bool(std::uint64_t offset, void* into, std::size_t size)>;
// Finds the version note of an ELF file of `fileSize` bytes through its
// program headers, else its section table, and returns its descriptor when
// it is a well-formed block (else empty).
std::vector<std::uint8_t> FindVersionNote(const ReadAt& read, std::uint64_t fileSize);
// True when `data` holds a well-formed block of exactly its own length.
bool IsValidBlock(const std::uint8_t* data, std::size_t size);
// A block made of the four numbers and the texts (name, value pairs).
std::vector<std::uint8_t> MakeBlock(const TFixedVersion& numbers,
                                    const std::vector<std::pair<QString, QString>>& texts);

}  // namespace version

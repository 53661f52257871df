// The exports of libzodlg.so, the library that the player loads by name
// (dlopen from the program folder), calls once and unloads again. Every
// export has C linkage and its plain name, so the player finds it with
// dlsym; the pointer types below are what the player casts the found
// symbols to. Texts cross as UTF-8 in buffers that the caller owns.
//
// An export that is not in the library yet is simply not found, and the
// player then does nothing for that action.
#ifndef ZODLG_ZODLG_H
#define ZODLG_ZODLG_H

#include <limits.h>
#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#if defined(ZODLG_BUILDING)
#define ZODLG_API __attribute__((visibility("default")))
#else
#define ZODLG_API
#endif

// The file the player loads from its program folder.
#define ZODLG_LIBRARY_NAME "libzodlg.so"

#ifdef __cplusplus
extern "C" {
#endif

// Looks an audio CD up in the CD database: discId is the disc's 32-bit
// identifier, query the whole query command ("cddb+query+..."). Blocks the
// caller until the server answered, the time-out (for each request as a
// whole) passed or CancelCDDB2 was called. It may run on a thread other than
// the application's: a choice among several matches is then shown on the
// application's thread while the caller's waits. Results:
//   0    a match was taken and read; when the read failed the Get exports
//        hand out nothing (the previous result, empty in a fresh load)
//   1    no connection could be made (also when the server name does not resolve)
//   2    the user cancelled the choice among several matches
//   202  the database knows no such disc
//   other  the server's reply code, or -1 when nothing usable arrived
// The last read result is kept until the library is unloaded.
ZODLG_API int InitCDDB2(uint32_t discId, const char* query);

// Ends a look-up that InitCDDB2 is running on another thread as soon as
// possible: its exchange with the server stops within a tenth of a second
// and it answers as a failed one. The next InitCDDB2 starts afresh.
ZODLG_API void CancelCDDB2(void);

// The kept texts. Each answers the text's length in bytes without the
// terminating zero; with a buffer and a length above 0 it also copies the
// text with its zero, so the caller asks first with a null buffer and then
// passes length + 1 bytes. Nothing kept: 0.
ZODLG_API int GetAlbumArtist(char* buffer);
ZODLG_API int GetAlbumTitle(char* buffer);
// track counts from 1; 0 for a number below 1 or above the track count.
ZODLG_API int GetTrackTitle(uint32_t track, char* buffer);

// The dialogs. Each arrives with its own piece of work; until then the
// library does not define it and dlsym finds nothing.
ZODLG_API void ShowDecoderDlg(uint8_t firstFamily);
ZODLG_API void ShowSonicDecoderDlg(void);
// true when the dialog was closed with OK.
ZODLG_API bool ShowExtDlg(void);
// The folder chooser of the folder search. buffer holds
// ZODLG_FOLDER_BUFFER_SIZE bytes; a folder in it is selected when the
// chooser opens. -1 when cancelled, without widgets to ask with, or when the
// chosen path does not fit the buffer (the buffer then stays as it was);
// else the chosen folder is written to buffer and the code tells the two
// boxes: 0 both checked, 1 only "サブフォルダも検索", 2 only "検索設定に従う",
// 3 neither.
#define ZODLG_FOLDER_BUFFER_SIZE PATH_MAX
ZODLG_API int GetSerchFolder(char* buffer);
ZODLG_API void ShowCDDBDlg(void);
ZODLG_API void ShowParentalCtlDlg(void);

typedef int (*InitCDDB2Proc)(uint32_t, const char*);
typedef void (*CancelCDDB2Proc)(void);
typedef int (*GetAlbumTextProc)(char*);
typedef int (*GetTrackTitleProc)(uint32_t, char*);
typedef void (*ShowDecoderDlgProc)(uint8_t);
typedef void (*ShowDialogProc)(void);
typedef bool (*ShowExtDlgProc)(void);
typedef int (*GetSerchFolderProc)(char*);

#ifdef __cplusplus
}
#endif

#endif

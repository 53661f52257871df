// The notices a tool window posts to the main window (WM_TOOLNOTIFY): its
// closing, or the media library's request. The numbers are the message's
// wParam and lParam and keep their values: windows and tests post them raw.
#pragma once

#include "platform/wintypes.h"

// The message that carries a notice to the main window.
constexpr UINT WM_TOOLNOTIFY = WM_USER + 55;

// wParam of WM_TOOLNOTIFY.
enum class ToolNotice : WPARAM {
    LibraryRequest = 0,      // lParam: a LibraryRequest
    CaptureClosed = 1,
    ListEditorClosed = 2,    // lParam 0 the play-list instance, 1 the library instance
    FileBrowserClosed = 3,
    CountdownClosed = 4,
    BookmarksClosed = 5,
};

// lParam of ToolNotice::LibraryRequest: what the media library asks the
// main window to do once it has set ViewerPath or the list index.
enum class LibraryRequest : LPARAM {
    Nothing = 0,
    OpenViewerPath = 1,      // the folder or list in ViewerPath replaces the play list
    PlayListIndex = 2,       // the entry at the list index: a DVD chapter, a CD track or a list entry
    PlayFromStart = 3,       // the play list from its first entry
    OpenDrive = 4,           // the drive in ViewerPath: its audio CD plays
    StartDvd = 5,            // the DVD in ViewerPath starts
};

// lParam of ToolNotice::ListEditorClosed.
inline constexpr LPARAM kPlayListEditor = 0;
inline constexpr LPARAM kLibraryEditor = 1;

// The disc folder of a DVD: its resume point, its bookmarks and its repeat
// sections.
#include "player/ZoMain.h"

#include "ui_ZoMain.h"

bool TZoMain::SaveResumePoint(bool, QString*) { return false; }

void TZoMain::LoadResumePoint(const QString&, bool) {}

void TZoMain::ReadDvdVolumeName() { dvd_.DiscName.clear(); }

void TZoMain::BuildBookmarkMenu() {}

bool TZoMain::MakeDvdBookmark() { return false; }

void TZoMain::DvdBookmarkClick(QAction*) {}

void TZoMain::BookmarkDlgClosed() { dialogOpen_ = false; }

bool TZoMain::SaveDvdSections(bool) { return false; }

void TZoMain::LoadDvdSections() {}

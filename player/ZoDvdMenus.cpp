// The DVD pop-up menu's commands and the selection menus built from the disc.
#include "player/ZoMain.h"

#include "ui_ZoMain.h"

HRESULT TZoMain::BuildDvdTitleMenu() { return S_OK; }

void TZoMain::BuildDvdStreamMenus() {}

void TZoMain::BuildDvdChapterList() {}

bool TZoMain::ReadKaraokeAttributes() { return true; }

void TZoMain::ClearDvdMenus() {}

void TZoMain::ShowDvdMenus(bool) {}

void TZoMain::ApplyPanScanMode() {}

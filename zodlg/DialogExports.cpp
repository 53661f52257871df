// The dialog exports. Each runs its dialog modally over the caller's active
// window and returns once the dialog and everything it made are gone.
#include "zodlg/zodlg.h"

#include "CddbSetDlg.h"
#include "DecoderDlg.h"
#include "DlgBase.h"
#include "ExtDlg.h"
#include "FolderBrowse.h"
#include "Parental.h"

extern "C" {

ZODLG_API void ShowParentalCtlDlg(void)
{
    const zodlg::ExportScope scope;
    RunParentalCtlDlg();
}

ZODLG_API bool ShowExtDlg(void)
{
    const zodlg::ExportScope scope;
    return RunExtDlg();
}

ZODLG_API int GetSerchFolder(char* buffer)
{
    const zodlg::ExportScope scope;
    return RunFolderBrowse(buffer);
}

ZODLG_API void ShowDecoderDlg(uint8_t firstFamily)
{
    const zodlg::ExportScope scope;
    RunDecoderDlg(firstFamily != 0);
}

ZODLG_API void ShowSonicDecoderDlg(void)
{
    const zodlg::ExportScope scope;
    RunSonicDecoderDlg();
}

ZODLG_API void ShowCDDBDlg(void)
{
    const zodlg::ExportScope scope;
    RunCddbSetDlg();
}

}  // extern "C"

#include "player/units/Shortcuts.h"

#include "platform/keys/keys.h"
#include "common/Reghelp.h"

#include <QAction>
#include <QMenu>
#include <QSignalBlocker>

namespace {

const TShortcutRow kRows[] = {
    {"SelectedSize", "NSelectedSize", 116, {}},
    {"640", "N640", 117, {}},
    {"320", "N320", 118, {}},
    {"SourceSize", "NSouce", 119, {}},
    {"KeepSize", "miKeepSize", 8308, {}},
    {"FitWindow", "miWindowFix", 8309, {"MiDVDWindowSize"}},
    {"SelectCurrentSize", "NSelectCurrentSize", 8310, {}},
    {"4:3", "MIAspect43", 16502, {}},
    {"SourceAspectRatio", "MIOriginalAspect", 16500, {}},
    {"VideoSizeRatio", "miSizeRatio", 16501, {}},
    {"UnlockAspectRatio", "MIUnlockAspect", 16504, {}},
    {"16:9", "miAspect169", 16503, {}},
    {"ContinuousPlay", "NContinuousPlay", 16467, {}},
    {"Loop", "NLoop", 16460, {}},
    {"Shuffle", "MShuffle", 16456, {}},
    {"Fullscreen", "NFullScreen", 70, {"MIFullScr"}},
    {"AlwaysOnTop", "PMForeground", 0, {"NDVDForeground"}},
    {"Configure", "NProperty", 0, {"MIDVDSetup"}},
    {"ColorSetting", "MIColor", 16451, {"MIDVDColor"}},
    {"RootMenu", "NRootMenu", 16466, {}},
    {"TitleMunu", "NTitleMenu", 16468, {}},
    {"Bookmark", "miMakeBkmrk", 16450, {"N17"}},
    {"BookmarkDialog", "miShowBkmrkDlg", 8258, {"N18", "miBookmark2"}},
    {"ShowSubPicture", "NDisplaySP", 0, {}},
    {"FileBrowser", "MiFileBrowser", 113, {}},
    {"ListDialog", "MiListEdit", 114, {}},
    {"SelStart", "SelTrackS", 36, {"miSelStart"}},
    {"SelEnd", "SelTrackE", 35, {"miSelEnd"}},
    {"SelClear", "SelTrackC", 46, {"miSelClear"}},
    {"StepFrame", "miStepFrame", 32, {}},
    {"StepFrameBackward", "miStepBack", 16416, {}},
    {"Skip", "miSkip", 39, {}},
    {"FastForward", "miForward", 40, {}},
    {"Rewind", "miRewind", 38, {}},
    {"SkipBackward", "miSkipBack", 37, {}},
    {"List", "miShowPlayList", 76, {}},
    {"LibraryViewer", "miShowLibViewer", 8268, {}},
    {"FolderViewer", "miFoldeLib", 8262, {}},
    {"Play", "miPlay", 80, {}},
    {"Open", "miOpen", 79, {}},
    {"Stop", "miStop", 83, {}},
    {"Next", "miPlayNext", 34, {}},
    {"Previous", "miPlayPrevious", 33, {}},
    {"VolumeUp", "miVolumeUp", 121, {}},
    {"VolumeDown", "miVolumeDn", 120, {}},
    {"VolumeMute", "miVolumeMute", 122, {}},
    {"FileBrowser", "miShowBrowser", 113, {}},
    {"ListDialog", "miShowEditList", 114, {}},
    {"Capture", "miShowCapDlg", 115, {"MiCapture"}},
    {"DVDMenuRight", "miDVDMenuR", 16423, {}},
    {"DVDMenuLeft", "miDVDMenuL", 16421, {}},
    {"DVDMenuUp", "miDVDMenuU", 16422, {}},
    {"DVDMenuDown", "miDVDMenuD", 16424, {}},
    {"SwitchWindow", "miChangeWindow", 123, {}},
    {"DVDForward", "miDVDForward", 39, {}},
    {"DVDRewind", "miDVDRewind", 37, {}},
    {"PreviousBmk", "miPreviousBmk", 0, {}},
    {"NextBmk", "miNextBmk", 0, {}},
    {"SaveABPos", "miSaveSection", 0, {"miSavePoints"}},
    {"ChainSections", "miChainABSC", 0, {"miChainSections"}},
};

constexpr char kShortCutProperty[] = "ShortCut";

QAction* FindItem(QObject* form, const char* name) { return form->findChild<QAction*>(QLatin1String(name)); }

}  // namespace

std::span<const TShortcutRow> ShortcutRows() { return kRows; }

WORD ItemShortCut(const QAction* item)
{
    return item ? static_cast<WORD>(item->property(kShortCutProperty).toUInt()) : 0;
}

QString ItemCaption(const QAction* item) { return item ? item->text().section(QLatin1Char('\t'), 0, 0) : QString(); }

namespace {

void ShowText(QAction* item, const QString& caption, WORD code)
{
    const QString key = keys::ShortCutText(code);
    item->setText(key.isEmpty() ? caption : caption + QLatin1Char('\t') + key);
}

}  // namespace

void SetItemCaption(QAction* item, const QString& caption)
{
    if (item) ShowText(item, caption, ItemShortCut(item));
}

void SetItemShortCut(QAction* item, DWORD code)
{
    if (!item) return;
    const WORD shortCut = static_cast<WORD>(code & 0xFFFF);
    item->setProperty(kShortCutProperty, shortCut);
    item->setShortcut(QKeySequence());
    ShowText(item, ItemCaption(item), shortCut);
}

void ShowItemShortCuts(QObject* form)
{
    for (QAction* item : form->findChildren<QAction*>()) {
        if (item->property(kShortCutProperty).isValid()) SetItemShortCut(item, ItemShortCut(item));
    }
}

namespace {

// Whether the item is enabled as its own setting says: Qt reports every
// hidden item as disabled, so a hidden one is shown for the moment of the
// question (with its signals blocked).
bool ItemEnabled(QAction* item)
{
    if (item->isVisible()) return item->isEnabled();
    const QSignalBlocker quiet(item);
    item->setVisible(true);
    const bool enabled = item->isEnabled();
    item->setVisible(false);
    return enabled;
}

}  // namespace

QAction* FindShortCut(QMenu* menu, WORD code, bool* enabled)
{
    if (!menu || code == 0) return nullptr;
    const bool menuEnabled = menu->isEnabled() && ItemEnabled(menu->menuAction());
    for (QAction* item : menu->actions()) {
        if (QMenu* sub = item->menu()) {
            bool subEnabled = false;
            if (QAction* found = FindShortCut(sub, code, &subEnabled)) {
                if (enabled) *enabled = menuEnabled && subEnabled;
                return found;
            }
            continue;
        }
        if (!item->isSeparator() && ItemShortCut(item) == code) {
            if (enabled) *enabled = menuEnabled && ItemEnabled(item);
            return item;
        }
    }
    return nullptr;
}

bool DispatchShortCut(std::span<QMenu* const> menus, WORD code)
{
    // A code whose key the table does not know was stored by something else: it matches nothing.
    if (keys::ShortCutText(code).isEmpty()) return false;
    for (QMenu* menu : menus) {
        bool enabled = false;
        QAction* item = FindShortCut(menu, code, &enabled);
        if (!item) continue;
        if (enabled) item->trigger();
        return true;
    }
    return false;
}

void LoadShortcutValues(QObject* form, HKEY key)
{
    for (const TShortcutRow& row : kRows) {
        QAction* item = FindItem(form, row.Item);
        if (!item) continue;
        SetItemShortCut(item, RegReadDword(key, row.ValueName, 0));
        for (const char* twin : row.Twins)
            if (twin) SetItemShortCut(FindItem(form, twin), ItemShortCut(item));
    }
}

void DeleteMenuItemsFrom(QMenu* menu, int first)
{
    if (!menu || first < 0) return;
    const QList<QAction*> items = menu->actions();
    for (int i = static_cast<int>(items.size()) - 1; i >= first; --i) {
        menu->removeAction(items[i]);
        // Items of the form itself stay its own; copies made here belong to the menu.
        if (items[i]->parent() == menu) delete items[i];
    }
}

void AddHiddenShortcutItems(QMenu* fileKeys, QMenu* dvdKeys)
{
    if (!fileKeys || !dvdKeys) return;
    DeleteMenuItemsFrom(dvdKeys, 6);
    const QList<QAction*> items = fileKeys->actions();
    for (int i = 5; i < items.size(); ++i) {
        QAction* source = items[i];
        auto* copy = new QAction(dvdKeys);
        copy->setVisible(false);
        SetItemShortCut(copy, ItemShortCut(source));
        // The copy runs the source's own handlers.
        QObject::connect(copy, &QAction::triggered, source, [source] { emit source->triggered(false); });
        dvdKeys->addAction(copy);
    }
}

QString MenuStatusText(const QString& caption, bool withState, bool checked)
{
    QString text = caption;
    const qsizetype amp = text.indexOf(QLatin1Char('&'));
    // "(&L)": the accelerator group goes whole; any other "&" goes alone.
    if (amp > 0 && text.at(amp - 1) == QLatin1Char('(') && amp + 2 < text.size() &&
        text.at(amp + 2) == QLatin1Char(')'))
        text.remove(amp - 1, 4);
    else if (amp >= 0)
        text.remove(amp, 1);
    if (withState) text += checked ? QStringLiteral(": ON") : QStringLiteral(": OFF");
    return text;
}

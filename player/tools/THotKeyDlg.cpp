#include "player/tools/THotKeyDlg.h"

#include "platform/dialogs/filedialogs.h"
#include "platform/keys/keys.h"
#include "platform/paths/paths.h"
#include "player/tools/HotKeyRows.h"
#include "player/tools/ToolHost.h"
#include "player/tools/WindowPlacement.h"
#include "player/units/Settings.h"
#include "ui_THotKeyDlg.h"

#include <QCursor>
#include <QHeaderView>
#include <QKeyEvent>
#include <QSignalBlocker>

namespace {

// Colour values as the settings keep them: 0x00BBGGRR.
QColor FromColorRef(unsigned value) { return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF); }

const QColor kFileOnlyColor = FromColorRef(0xF0CAA6);   // a light blue
const QColor kDvdOnlyColor = FromColorRef(0xC0DCC0);    // a light green

constexpr int kCaptionWidth = 140;
constexpr int kKeyWidth = 84;
constexpr int kMouseWidth = 84;

// The keys the dialog itself answers, as its buttons and focus do.
bool IsDialogKey(const QKeyEvent& e)
{
    const Qt::KeyboardModifiers mods = e.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    switch (e.key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return !(mods & Qt::AltModifier);
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape: return mods == Qt::NoModifier;
    default: return false;
    }
}

WORD ModifierBits(Qt::KeyboardModifiers mods)
{
    WORD bits = 0;
    if (mods & Qt::ShiftModifier) bits |= keys::kShiftBit;
    if (mods & Qt::ControlModifier) bits |= keys::kCtrlBit;
    if (mods & Qt::AltModifier) bits |= keys::kAltBit;
    return bits;
}

}  // namespace

THotKeyDlg::THotKeyDlg(IToolHost& host, QWidget* owner)
    : QDialog(owner), host_(host), ui_(std::make_unique<Ui::THotKeyDlg>())
{
    ui_->setupUi(this);
    model_ = new THotKeyListModel(keys_, this);
    ui_->ListKey->setModel(model_);
    ui_->ListKey->setItemDelegate(
        new THotKeyDelegate([this](int row, int column) { return ListKeyDrawItem(row, column); }, this));
    ui_->ListKey->header()->setStretchLastSection(false);
    ui_->ListKey->header()->setSectionsMovable(false);
    ui_->ListKey->setColumnWidth(0, kCaptionWidth);
    ui_->ListKey->setColumnWidth(1, kKeyWidth);
    ui_->ListKey->setColumnWidth(2, kMouseWidth);
    for (int i = 0; i < int(std::size(kGestureLetters)); ++i)
        ui_->ComboMouse->addItem(QString::fromUtf8(kGestureNames[i]), QString::fromLatin1(kGestureLetters[i]));
    ui_->Edit1->installEventFilter(this);
    // The window's arrow items hold the DVD menu's arrows now: the choice waits.
    if (host_.ArrowKeyLocked()) ui_->CheckMenu->setEnabled(false);

    connect(ui_->ListKey->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { ListKeySelectItem(current.row()); });
    connect(ui_->ComboMouse, &QComboBox::currentIndexChanged, this, &THotKeyDlg::ComboMouseChange);
    connect(ui_->Button1, &QPushButton::clicked, this, &THotKeyDlg::Button1Click);
    // A click ends on the release: the menu opens where the pointer is then.
    connect(ui_->Button2, &QPushButton::clicked, this, &THotKeyDlg::Button2MouseUp);
    connect(ui_->N1, &QAction::triggered, this, &THotKeyDlg::N1Click);
    connect(ui_->N2, &QAction::triggered, this, &THotKeyDlg::N2Click);
    connect(ui_->N3, &QAction::triggered, this, &THotKeyDlg::N3Click);
    connect(ui_->OKBtn, &QPushButton::clicked, this, &THotKeyDlg::OKBtnClick);
}

THotKeyDlg::~THotKeyDlg() = default;

void THotKeyDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!loaded_) {
        loaded_ = true;
        FormShow();
        TWindowPlacement::CentreOver(this, parentWidget());
    }
}

void THotKeyDlg::FormShow()
{
    ui_->CheckMenu->setChecked(keys_.Load());
    RowsChanged();
}

TCellLook THotKeyDlg::ListKeyDrawItem(int row, int column) const
{
    const QPalette& p = palette();
    const THotKeyRow& r = keys_.Row(row);
    const QColor text = p.color(QPalette::Text);
    const QColor grey = p.color(QPalette::Disabled, QPalette::WindowText);
    switch (column) {
    case 0:
        // The colour tells which rows may share a key.
        if (r.Group == '-') return {kFileOnlyColor, text};
        if (r.Group == '+') return {kDvdOnlyColor, text};
        return {p.color(QPalette::Base), text};
    case 1:
        return r.TakesKey() ? TCellLook{Qt::white, text} : TCellLook{grey, text};
    default:
        if (!r.TakesGesture()) return {grey, text};
        // The held commands take only the extra buttons.
        if (TakesOnlyExtraButtons(r.Command->Number))
            return {p.color(QPalette::ToolTipBase), p.color(QPalette::ToolTipText)};
        return {p.color(QPalette::Base), text};
    }
}

void THotKeyDlg::ListKeySelectItem(int row)
{
    keys_.Select(row);
    ui_->Label4->clear();
    ui_->Edit1->setPalette(palette());
    if (row < 0 || row >= keys_.Count()) return;
    const THotKeyRow& r = keys_.Row(row);
    const bool takesKey = r.TakesKey();
    ui_->Edit1->setText(takesKey ? r.Key : QString());
    ui_->Edit1->setEnabled(takesKey);
    if (!takesKey) {
        QPalette greyed = palette();
        greyed.setColor(QPalette::Base, palette().color(QPalette::Button));
        ui_->Edit1->setPalette(greyed);
    }
    const QSignalBlocker block(ui_->ComboMouse);
    ui_->ComboMouse->setCurrentIndex(r.TakesGesture() ? GestureIndex(r.Mouse) : 0);
    ui_->ComboMouse->setEnabled(r.TakesGesture());
}

bool THotKeyDlg::Edit1KeyDown(QKeyEvent* event)
{
    if (IsDialogKey(*event)) return false;
    // The key as the main window's dispatcher will match it; 0 for a
    // modifier (or a key without a code), which shows only its prefix.
    const WORD pressed = keys::ShortCutOf(*event) & 0xFF;
    if (pressed == keys::VK_NUMLOCK || pressed == keys::VK_PAUSE) return true;
    WORD bits = ModifierBits(event->modifiers());
    // A modifier's own press may not carry its bit yet.
    switch (event->key()) {
    case Qt::Key_Shift: bits |= keys::kShiftBit; break;
    case Qt::Key_Control: bits |= keys::kCtrlBit; break;
    case Qt::Key_Alt: bits |= keys::kAltBit; break;
    default: break;
    }
    ui_->Edit1->setText(keys_.CaptureKey(static_cast<WORD>(pressed | bits)));
    ShowConflicts();
    return true;
}

void THotKeyDlg::Edit1DblClick()
{
    ui_->Edit1->clear();
    keys_.CaptureEmpty();
    ShowConflicts();
}

void THotKeyDlg::ComboMouseChange(int index)
{
    if (keys_.Selected() < 0 || index < 0) return;
    const QString letter = ui_->ComboMouse->itemData(index).toString();
    const QString chosen = keys_.ChooseGesture(letter);
    if (chosen != letter) {
        const QSignalBlocker block(ui_->ComboMouse);
        ui_->ComboMouse->setCurrentIndex(GestureIndex(chosen));
    }
    ShowConflicts();
}

void THotKeyDlg::ShowConflicts()
{
    const bool keyConflict = !keys_.KeyConflict().isEmpty();
    ui_->Label4->setText(keyConflict || !keys_.MouseConflict().isEmpty() ? keys_.ConflictText() : QString());
    QPalette look = palette();
    if (keyConflict) {
        look.setColor(QPalette::Base, palette().color(QPalette::ToolTipBase));
        look.setColor(QPalette::Text, palette().color(QPalette::ToolTipText));
    }
    ui_->Edit1->setPalette(look);
}

void THotKeyDlg::Button1Click()
{
    const int row = keys_.Selected();
    if (row < 0) return;
    keys_.Change();
    RowsChanged();
    ListKeySelectItem(row);
}

void THotKeyDlg::Button2MouseUp() { ui_->PopupMenu1->popup(QCursor::pos()); }

namespace {

// A ".keys" profile in the user's data folder; empty when cancelled.
QString ChooseProfile(QWidget* owner, dialogs::FileDialogCall::Kind kind)
{
    dialogs::FileDialogCall call;
    call.kind = kind;
    call.filter = QStringLiteral("キー設定ファイル|*.keys");
    call.defaultExtension = QStringLiteral("keys");
    call.directory = GetUserDataFolder();
    const dialogs::FileDialogResult result = dialogs::RunFileDialog(owner, call);
    return result.accepted && !result.paths.isEmpty() ? result.paths.first() : QString();
}

}  // namespace

void THotKeyDlg::N1Click()
{
    const QString path = ChooseProfile(this, dialogs::FileDialogCall::Save);
    if (!path.isEmpty()) keys_.Export(path);
}

void THotKeyDlg::N2Click()
{
    const QString path = ChooseProfile(this, dialogs::FileDialogCall::Open);
    if (path.isEmpty() || keys_.Import(path) != 0) return;
    RowsChanged();
    ListKeySelectItem(keys_.Selected());
}

void THotKeyDlg::N3Click()
{
    keys_.RestoreDefaults();
    RowsChanged();
    ListKeySelectItem(keys_.Selected());
}

void THotKeyDlg::RowsChanged() { model_->Refresh(); }

void THotKeyDlg::OKBtnClick()
{
    const bool locked = host_.ArrowKeyLocked();
    const bool arrows = ui_->CheckMenu->isChecked();
    TMainSettings& settings = host_.MutableSettings();
    if (!locked) settings.UseArrowKeyInMenu = arrows;
    const THotKeyResult result = keys_.Confirm(arrows, locked);
    if (result.PresetCodes) host_.SetColorPresetShortcuts(*result.PresetCodes);
    if (result.KeysWritten) settings.ModifyKey = result.ModifyKey;
    const TMouseActions& file = result.FileSet;
    settings.MouseDouble = file.MouseDouble;
    settings.MouseMiddle = file.MouseMiddle;
    settings.WheelUp = file.WheelUp;
    settings.WheelDown = file.WheelDown;
    settings.MouseX1 = file.MouseX1;
    settings.MouseX2 = file.MouseX2;
    host_.SetMouseActionSets(result.FileSet, result.DvdSet);
    accept();
}

bool THotKeyDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui_->Edit1) {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
            // The key box takes its keys before any shortcut.
            if (!IsDialogKey(*static_cast<QKeyEvent*>(event))) event->accept();
            return false;
        case QEvent::KeyPress:
            return Edit1KeyDown(static_cast<QKeyEvent*>(event));
        case QEvent::KeyRelease:
            return !IsDialogKey(*static_cast<QKeyEvent*>(event));
        case QEvent::MouseButtonDblClick:
            Edit1DblClick();
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

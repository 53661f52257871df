#include "platform/dialogs/filedialogs.h"

#include <QFileDialog>
#include <QFontDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace {

dialogs::FileDialogAnswerer g_fileAnswerer;
dialogs::FontDialogAnswerer g_fontAnswerer;

// "Name|*.a;*.b|..." as Qt's name filters "Name (*.a *.b)".
QStringList NameFilters(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << parts.at(i) + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters;
}

}  // namespace

namespace dialogs {

void SetFileDialogAnswerer(FileDialogAnswerer answerer) { g_fileAnswerer = std::move(answerer); }
void SetFontDialogAnswerer(FontDialogAnswerer answerer) { g_fontAnswerer = std::move(answerer); }

// Over the owner's middle, then inside the work area of the owner's monitor.
static void CentreOverOwner(QWidget* dialog, const QWidget* owner)
{
    if (!owner) return;
    const QRect frame = dialog->frameGeometry();
    const QRect over = owner->frameGeometry();
    QPoint topLeft(over.left() + (over.width() - frame.width()) / 2, over.top() + (over.height() - frame.height()) / 2);
    if (const QScreen* screen = owner->screen() ? owner->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        topLeft.setX(std::max(area.left(), std::min(topLeft.x(), area.right() + 1 - frame.width())));
        topLeft.setY(std::max(area.top(), std::min(topLeft.y(), area.bottom() + 1 - frame.height())));
    }
    dialog->move(topLeft);
}

FileDialogResult RunFileDialog(QWidget* owner, const FileDialogCall& call)
{
    if (g_fileAnswerer) return g_fileAnswerer(call);

    QFileDialog dialog(owner, call.title, call.directory);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    switch (call.kind) {
    case FileDialogCall::Open: dialog.setFileMode(QFileDialog::ExistingFile); break;
    case FileDialogCall::OpenMany: dialog.setFileMode(QFileDialog::ExistingFiles); break;
    case FileDialogCall::Save:
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        break;
    case FileDialogCall::Folder:
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly, true);
        break;
    }
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !call.overwritePrompt);
    const QStringList filters = NameFilters(call.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.value(call.filterIndex - 1, filters.first()));
    }
    dialog.setDefaultSuffix(call.defaultExtension);
    if (!call.fileName.isEmpty()) dialog.selectFile(call.fileName);
    if (call.onTypeChange) {
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& chosen) {
            dialog.setDefaultSuffix(call.onTypeChange(static_cast<int>(filters.indexOf(chosen)) + 1));
        });
    }
    // Placed once it has its size, before the user sees it move: where the
    // caller says, else over the owner's middle.
    QTimer::singleShot(0, &dialog, [&] {
        if (call.onShow) call.onShow(&dialog);
        else CentreOverOwner(&dialog, owner);
    });
    FileDialogResult result;
    result.accepted = dialog.exec() == QDialog::Accepted;
    if (result.accepted) result.paths = dialog.selectedFiles();
    result.filterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
    return result;
}

bool ChooseFont(QWidget* owner, QFont* font, const std::function<void(const QFont&)>& apply)
{
    if (g_fontAnswerer) return g_fontAnswerer(font);
    QFontDialog dialog(*font, owner);
    dialog.setOption(QFontDialog::DontUseNativeDialog, true);
    if (apply) QObject::connect(&dialog, &QFontDialog::currentFontChanged, &dialog, apply);
    if (dialog.exec() != QDialog::Accepted) return false;
    *font = dialog.selectedFont();
    return true;
}

}  // namespace dialogs

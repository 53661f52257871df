#include "platform/dialogs/filedialog.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <QTimer>

#include <algorithm>

namespace dialogs {

namespace {

FileDialogAnswerer g_answerer;

QStringList NameFilters(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString patterns = parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts).join(QLatin1Char(' '));
        if (!patterns.isEmpty()) result << parts.at(i) + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return result;
}

// Over the owner's middle, then inside the work area of the owner's monitor.
void Place(QWidget* dialog, const QWidget* owner)
{
    if (!owner) return;
    const QRect frame = dialog->frameGeometry();
    const QRect over = owner->frameGeometry();
    QPoint topLeft(over.left() + (over.width() - frame.width()) / 2, over.top() + (over.height() - frame.height()) / 2);
    const QScreen* screen = owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        topLeft.setX(std::max(area.left(), std::min(topLeft.x(), area.right() + 1 - frame.width())));
        topLeft.setY(std::max(area.top(), std::min(topLeft.y(), area.bottom() + 1 - frame.height())));
    }
    dialog->move(topLeft);
}

}  // namespace

void SetFileDialogAnswerer(FileDialogAnswerer answerer) { g_answerer = std::move(answerer); }

QString GetFileName(QWidget* owner, const FileDialogCall& call)
{
    if (g_answerer) return g_answerer(call);
    QFileDialog dialog(owner, call.title, call.initialDir);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(call.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(call.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(NameFilters(call.filter));
    dialog.setDefaultSuffix(call.defaultExtension);
    // Placed once it has its size, before the user sees it move.
    QTimer::singleShot(0, &dialog, [&dialog, owner] { Place(&dialog, owner); });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().first();
}

}  // namespace dialogs

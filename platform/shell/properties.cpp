#include "platform/shell/properties.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QUrl>

#include <cerrno>

namespace shell {

namespace {

PropertiesShower g_shower;

bool AskFileManager(const QString& path)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItemProperties"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    // A short wait: without a file manager the bus answers at once, and a
    // hung one must not hold the editor.
    const QDBusMessage reply = bus.call(call, QDBus::Block, 2000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

void ShowOwnProperties(QWidget* owner, const QFileInfo& info)
{
    auto* dialog = new QDialog(owner);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(info.fileName() + QStringLiteral("のプロパティ"));
    auto* form = new QFormLayout(dialog);
    const QLocale locale;
    form->addRow(QStringLiteral("名前:"), new QLabel(info.fileName(), dialog));
    form->addRow(QStringLiteral("種類:"), new QLabel(QMimeDatabase().mimeTypeForFile(info).comment(), dialog));
    form->addRow(QStringLiteral("場所:"), new QLabel(info.absolutePath(), dialog));
    if (!info.isDir()) form->addRow(QStringLiteral("サイズ:"), new QLabel(locale.formattedDataSize(info.size()), dialog));
    form->addRow(QStringLiteral("更新日時:"),
                 new QLabel(locale.toString(info.lastModified(), QLocale::LongFormat), dialog));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    form->addRow(buttons);
    dialog->show();
}

}  // namespace

void SetPropertiesShower(PropertiesShower shower) { g_shower = std::move(shower); }

int ShowPathProperties(QWidget* owner, const QString& path)
{
    if (g_shower) return g_shower(path);
    const QFileInfo info(path);
    if (!info.exists()) return ENOENT;
    if (!AskFileManager(info.absoluteFilePath())) ShowOwnProperties(owner, info);
    return 0;
}

}  // namespace shell

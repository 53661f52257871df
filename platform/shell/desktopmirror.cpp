#include "platform/shell/desktopmirror.h"

#include "platform/files/statefile.h"
#include "platform/shell/mimeapps.h"
#include "platform/shell/shortcuts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>

namespace shell {

namespace {

constexpr char kDvdType[] = "x-content/video-dvd";
constexpr char kCdType[] = "x-content/audio-cdda";
constexpr char kListType[] = "application/x-zoravel-list";
constexpr char kM2pType[] = "video/x-zoravel-m2p";

// Icons are found by a theme only in a folder of their context.
QString IconPath(const QString& name)
{
    const bool fileType = name == QLatin1String("zoravel-media") || name == QLatin1String("zoravel-list");
    return DataHome() + QStringLiteral("/icons/hicolor/48x48/") +
           (fileType ? QStringLiteral("mimetypes/") : QStringLiteral("apps/")) + name + QStringLiteral(".png");
}

QByteArray ReadWhole(const QString& path)
{
    if (path.isEmpty()) return {};
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString ExecLine(const QString& folder, const QString& arguments)
{
    return ExecProgram(folder + QStringLiteral("Zorvi")) + QLatin1Char(' ') + arguments;
}

QByteArray DesktopEntry(const QString& comment, const QString& exec, const QStringList& types)
{
    QString text = QStringLiteral("[Desktop Entry]\nType=Application\nName=Zoravel\n");
    text += QStringLiteral("Comment=") + comment + QLatin1Char('\n');
    text += QStringLiteral("Exec=") + exec + QLatin1Char('\n');
    text += QStringLiteral("Icon=zoravel\nNoDisplay=true\n");
    text += QStringLiteral("MimeType=") + types.join(QLatin1Char(';')) + QStringLiteral(";\n");
    return text.toUtf8();
}

QString IconNameOf(int index) { return index == 2 ? QStringLiteral("zoravel-list") : QStringLiteral("zoravel-media"); }

// Our MIME package: the types that are ours while their extension names a
// type, and the player's icons on the types that show them. Empty when
// there is nothing in it.
QByteArray MimePackage(const MirrorState& state, QSet<QString>* iconsUsed)
{
    QMap<QString, QString> iconOf;   // type -> icon name, in a stable order
    for (const MirrorExtension& e : state.extensions) {
        if (e.iconIndex == 0) continue;
        for (const QString& type : MimeTypesForExtension(e.extension)) iconOf.insert(type, IconNameOf(e.iconIndex));
    }
    QString body;
    const auto iconLine = [&](const QString& type) {
        const auto it = iconOf.constFind(type);
        if (it == iconOf.constEnd()) return QString();
        iconsUsed->insert(*it);
        return QStringLiteral("    <icon name=\"%1\"/>\n").arg(*it);
    };
    QSet<QString> written;
    if (state.listTypeNamed) {
        const QString type = QLatin1String(kListType);
        body += QStringLiteral("  <mime-type type=\"%1\">\n").arg(type);
        if (!state.listDescription.isEmpty())
            body += QStringLiteral("    <comment>%1</comment>\n").arg(state.listDescription.toHtmlEscaped());
        body += QStringLiteral("    <glob pattern=\"*.zol\"/>\n") + iconLine(type) + QStringLiteral("  </mime-type>\n");
        written.insert(type);
    }
    if (state.m2pTypeNamed) {
        const QString type = QLatin1String(kM2pType);
        body += QStringLiteral("  <mime-type type=\"%1\">\n").arg(type);
        body += QStringLiteral("    <sub-class-of type=\"video/mpeg\"/>\n    <glob pattern=\"*.m2p\"/>\n");
        body += iconLine(type) + QStringLiteral("  </mime-type>\n");
        written.insert(type);
    }
    for (auto it = iconOf.constBegin(); it != iconOf.constEnd(); ++it) {
        // Our own types are in the package only while their extension names them.
        if (written.contains(it.key()) || it.key() == QLatin1String(kListType) || it.key() == QLatin1String(kM2pType))
            continue;
        body += QStringLiteral("  <mime-type type=\"%1\">\n").arg(it.key()) + iconLine(it.key()) +
                QStringLiteral("  </mime-type>\n");
    }
    if (body.isEmpty()) return {};
    return (QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n") +
            body + QStringLiteral("</mime-info>\n"))
        .toUtf8();
}

void RunIfPresent(const QString& program, const QString& folder)
{
    if (QStandardPaths::findExecutable(program).isEmpty() || !QFileInfo(folder).isDir()) return;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, {folder});
    process.waitForFinished(60000);
}

}  // namespace

QString ApplicationsFolder() { return DataHome() + QStringLiteral("/applications"); }

QString MimeFolder() { return DataHome() + QStringLiteral("/mime"); }

void RemoveStaleMirrorTemporaries()
{
    // Only our own files' temporaries: the folders are shared with the rest of the desktop.
    QStringList paths{ApplicationsFolder() + QLatin1Char('/') + QLatin1String(kPlayerEntry),
                      ApplicationsFolder() + QLatin1Char('/') + QLatin1String(kDvdEntry),
                      ApplicationsFolder() + QLatin1Char('/') + QLatin1String(kCdEntry),
                      MimeFolder() + QStringLiteral("/packages/Zoravel.xml"), MimeAppsPath()};
    for (const char* icon : {"zoravel", "zoravel-setup", "zoravel-media", "zoravel-list"}) paths << IconPath(QLatin1String(icon));
    const QString menu = ApplicationsFolder() + QLatin1Char('/') + QLatin1String(kMenuFolder) + QLatin1Char('/');
    paths << menu + QLatin1String(kMenuPlayer) << menu + QLatin1String(kMenuSetup)
          << LauncherFolderPath(LauncherFolder::kSendTo) + QLatin1Char('/') + QLatin1String(kSendToScript)
          << ServiceMenuFolder() + QLatin1Char('/') + QLatin1String(kServiceMenu);
    if (const QString desktop = LauncherFolderPath(LauncherFolder::kDesktop); !desktop.isEmpty())
        paths << desktop + QLatin1Char('/') + QLatin1String(kDesktopLauncher);
    for (const QString& path : paths) {
        const QFileInfo file(path);
        statefile::RemoveStaleTemporaries(QFile::encodeName(file.absolutePath()).toStdString(),
                                          QFile::encodeName(file.fileName()).toStdString());
    }
}

QStringList MimeTypesForExtension(const QString& extension)
{
    static const QMap<QString, QStringList> types{
        {".mpg", {"video/mpeg"}},
        {".m2p", {kM2pType}},
        {".avi", {"video/x-msvideo"}},
        {".asf", {"application/vnd.ms-asf"}},
        {".wmv", {"video/x-ms-wmv"}},
        {".mp3", {"audio/mpeg"}},
        {".wma", {"audio/x-ms-wma"}},
        {".wav", {"audio/x-wav"}},
        {".mid", {"audio/midi"}},
        {".aif", {"audio/x-aiff"}},
        {".rm", {"application/vnd.rn-realmedia"}},
        {".rmvb", {"application/vnd.rn-realmedia"}},
        {".ra", {"audio/vnd.rn-realaudio"}},
        {".m3u", {"audio/x-mpegurl", "application/vnd.apple.mpegurl"}},
        {".zol", {kListType}},
    };
    // The desktop matches a default by the type's own name, not an alias.
    const QMimeDatabase database;
    QStringList names;
    for (const QString& fallback : types.value(extension)) {
        const QMimeType type = database.mimeTypeForName(fallback);
        const QString name = type.isValid() ? type.name() : fallback;
        if (!names.contains(name)) names << name;
    }
    return names;
}

QString ExecProgram(const QString& program)
{
    QString quoted = QStringLiteral("\"");
    for (const QChar c : program) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        if (c == QLatin1Char('%')) quoted += QLatin1Char('%');
        quoted += c;
    }
    quoted += QLatin1Char('"');
    // The key file's own escaping of the value comes on top of the quoting:
    // a bare "\"" would be an invalid escape, and the whole line rejected.
    return KeyValue(quoted);
}

QString KeyValue(const QString& text)
{
    QString value;
    for (const QChar c : text) {
        if (c == QLatin1Char('\\'))
            value += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            value += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            value += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            value += QStringLiteral("\\r");
        else
            value += c;
    }
    return value;
}

void DesktopMirror::Follow(const MirrorState& state)
{
    const QString apps = ApplicationsFolder() + QLatin1Char('/');
    QStringList types;
    for (const MirrorExtension& e : state.extensions) {
        if (!e.associated) continue;
        for (const QString& type : MimeTypesForExtension(e.extension))
            if (!types.contains(type)) types << type;
    }
    // Several selected files arrive as one start, in their order.
    const QByteArray player = types.isEmpty() ? QByteArray()
                                              : DesktopEntry(QStringLiteral("Zoravel で再生"),
                                                             ExecLine(state.programFolder, QStringLiteral("%F")), types);
    const QByteArray dvd = state.dvdVerb || state.dvdAutoPlay
                               ? DesktopEntry(QStringLiteral("DVD ビデオの再生"),
                                              ExecLine(state.programFolder, QStringLiteral("/DVD %f")), {kDvdType})
                               : QByteArray();
    const QByteArray cd = state.cdVerb || state.cdAutoPlay
                              ? DesktopEntry(QStringLiteral("オーディオ CD の再生"),
                                             ExecLine(state.programFolder, QStringLiteral("/CD %u")), {kCdType})
                              : QByteArray();
    entriesChanged_ |= WriteOrRemove(apps + QLatin1String(kPlayerEntry), player);
    entriesChanged_ |= WriteOrRemove(apps + QLatin1String(kDvdEntry), dvd);
    entriesChanged_ |= WriteOrRemove(apps + QLatin1String(kCdEntry), cd);

    QSet<QString> icons;
    mimeChanged_ |= WriteOrRemove(MimeFolder() + QStringLiteral("/packages/Zoravel.xml"), MimePackage(state, &icons));
    if (!player.isEmpty() || !dvd.isEmpty() || !cd.isEmpty()) icons.insert(QStringLiteral("zoravel"));
    for (const QString& icon : state.launcherIcons) icons.insert(icon);
    for (const char* name : {"zoravel", "zoravel-setup", "zoravel-media", "zoravel-list"}) {
        const QString icon = QLatin1String(name);
        WriteOrRemove(IconPath(icon), icons.contains(icon) ? ReadWhole(state.iconFiles.value(icon)) : QByteArray());
    }
    FollowDefaults(state);
}

void DesktopMirror::FollowDefaults(const MirrorState& state)
{
    // Each type the player may handle, with our entry for it, whether the
    // player handles it now, and whether this step just made it do so.
    struct Handled {
        QString entry;
        bool wanted = false;
        bool turnedOn = false;
    };
    QMap<QString, Handled> handled;
    for (const MirrorExtension& e : state.extensions) {
        const bool turnedOn = e.associated && state.extensionsTurnedOn.contains(e.extension);
        for (const QString& type : MimeTypesForExtension(e.extension)) {
            Handled& h = handled[type];
            h.entry = QLatin1String(kPlayerEntry);
            h.wanted |= e.associated;
            h.turnedOn |= turnedOn;
        }
    }
    handled[QLatin1String(kDvdType)] = Handled{QLatin1String(kDvdEntry), state.dvdAutoPlay, state.dvdAutoPlay && state.dvdAutoPlayTurnedOn};
    handled[QLatin1String(kCdType)] = Handled{QLatin1String(kCdEntry), state.cdAutoPlay, state.cdAutoPlay && state.cdAutoPlayTurnedOn};

    const QString path = MimeAppsPath();
    const QString before = QString::fromUtf8(ReadWhole(path));
    QString text = before;
    for (auto it = handled.constBegin(); it != handled.constEnd(); ++it) {
        const QString& type = it.key();
        const Handled& h = it.value();
        QString kept, current;
        const bool isKept = kept_.Get(type, &kept);
        const bool hasLine = FindDefaultApplication(text, type, &current);
        const bool ours = hasLine && NamesDefault(current, h.entry);
        if (h.wanted && (!isKept || h.turnedOn)) {
            // Our own line is never what goes back.
            if (!isKept) kept_.Set(type, hasLine && !ours ? current : QString());
            if (!ours) text = SetDefaultApplication(text, type, &h.entry);
        } else if (!h.wanted && isKept) {
            if (ours) text = SetDefaultApplication(text, type, kept.isEmpty() ? nullptr : &kept);
            kept_.Remove(type);
        }
    }
    if (text != before) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        statefile::WriteAtomically(QFile::encodeName(path).toStdString(), text.toUtf8().toStdString());
    }
}

bool DesktopMirror::WriteOrRemove(const QString& path, const QByteArray& content)
{
    const bool exists = QFileInfo::exists(path);
    if (content.isEmpty()) return exists && QFile::remove(path);
    if (exists && ReadWhole(path) == content) return false;
    QDir().mkpath(QFileInfo(path).absolutePath());
    return statefile::WriteAtomically(QFile::encodeName(path).toStdString(), content.toStdString()) == 0;
}

void DesktopMirror::RunUpdaters()
{
    if (entriesChanged_) RunIfPresent(QStringLiteral("update-desktop-database"), ApplicationsFolder());
    if (mimeChanged_) RunIfPresent(QStringLiteral("update-mime-database"), MimeFolder());
    entriesChanged_ = mimeChanged_ = false;
}

}  // namespace shell

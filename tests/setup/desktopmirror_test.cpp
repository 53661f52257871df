// The desktop mirror on a temporary home: defaults taken over, kept and given
// back with the rest of mimeapps.list untouched, the MIME package as GIO
// reads it, and desktop entries that validate and start the right program
// from folders with awkward names.
#include "platform/shell/desktopmirror.h"
#include "platform/shell/mimeapps.h"

#include "support/test_util.h"

#include <gtest/gtest.h>

#include <ostream>

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

// Texts in the failure messages.
inline std::ostream& operator<<(std::ostream& out, const QString& text) { return out << text.toStdString(); }

namespace {

using namespace shell;
using testutil::ReadFile;
using testutil::WriteFile;

class MapKept : public KeptDefaults {
public:
    bool Get(const QString& type, QString* text) override
    {
        if (!kept.contains(type)) return false;
        *text = kept.value(type);
        return true;
    }
    void Set(const QString& type, const QString& text) override { kept[type] = text; }
    void Remove(const QString& type) override { kept.remove(type); }
    QMap<QString, QString> kept;
};

// A home of its own for the XDG folders, and the programs that read them.
class TempHome {
public:
    TempHome()
    {
        qputenv("XDG_DATA_HOME", dir.filePath("data").toUtf8());
        qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
    }
    ~TempHome()
    {
        qunsetenv("XDG_DATA_HOME");
        qunsetenv("XDG_CONFIG_HOME");
    }
    QString Run(const QString& program, const QStringList& args, int* exitCode = nullptr) const
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(program, args);
        p.waitForFinished(30000);
        if (exitCode) *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        return QString::fromUtf8(p.readAll());
    }
    QTemporaryDir dir;
};

// The state with `associated` in place; with `turnedOn` they were just associated.
MirrorState State(const QString& folder, std::initializer_list<const char*> associated, bool turnedOn = true)
{
    MirrorState state;
    state.programFolder = folder;
    for (const char* e : {".mpg", ".m2p", ".avi", ".mp3", ".wav", ".rm", ".ra", ".rmvb", ".m3u", ".zol"}) {
        MirrorExtension x;
        x.extension = QLatin1String(e);
        for (const char* a : associated) x.associated |= x.extension == QLatin1String(a);
        state.extensions << x;
        if (x.associated && turnedOn) state.extensionsTurnedOn << x.extension;
    }
    return state;
}

QString Type(const char* extension) { return MimeTypesForExtension(QLatin1String(extension)).value(0); }

bool HaveTools()
{
    for (const char* tool : {"gio", "desktop-file-validate", "update-mime-database"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) return false;
    return true;
}

TEST(DesktopMirror, DefaultsAreKeptAndGivenBack)
{
    TempHome home;
    const QString mp3 = Type(".mp3"), avi = Type(".avi"), rm = Type(".rm");
    const QStringList m3u = MimeTypesForExtension(".m3u");
    ASSERT_EQ(m3u.size(), 2);
    ASSERT_EQ(rm, Type(".rmvb"));
    const QString original = QStringLiteral(
                                 "# kept as it is\n[Added Associations]\n%1=rhythmbox.desktop;\n\n"
                                 "[Default Applications]\n%1=rhythmbox.desktop\n%2 = vlc.desktop;mpv.desktop;\n"
                                 "text/plain=gedit.desktop\n\n[Removed Associations]\n%3=totem.desktop;\n")
                                 .arg(mp3, avi, rm);
    ASSERT_TRUE(WriteFile(MimeAppsPath(), original.toUtf8()));
    MapKept kept;
    DesktopMirror mirror(kept);
    const auto lineOf = [](const QString& type) {
        QString value;
        return FindDefaultApplication(QString::fromUtf8(ReadFile(MimeAppsPath())), type, &value) ? value
                                                                                                : QStringLiteral("-");
    };

    mirror.Follow(State("/opt/z/", {".mp3", ".avi", ".m3u", ".rm", ".rmvb"}));
    for (const QString& type : QStringList{mp3, avi, rm, m3u[0], m3u[1]}) EXPECT_EQ(lineOf(type), "zoravel.desktop") << type;
    EXPECT_EQ(kept.kept.value(mp3), "rhythmbox.desktop");
    EXPECT_EQ(kept.kept.value(avi), "vlc.desktop;mpv.desktop;");
    EXPECT_EQ(kept.kept.value(m3u[1]), "");
    EXPECT_EQ(lineOf("text/plain"), "gedit.desktop");
    const QString entry = QString::fromUtf8(ReadFile(ApplicationsFolder() + "/zoravel.desktop"));
    EXPECT_TRUE(entry.contains("MimeType=" + Type(".avi"))) << entry;
    EXPECT_TRUE(entry.contains("Exec=\"/opt/z/Zorvi\" %F")) << entry;

    // Following the same state again changes nothing; the user now picks
    // another player for AVI.
    mirror.Follow(State("/opt/z/", {".mp3", ".avi", ".m3u", ".rm", ".rmvb"}));
    WriteFile(MimeAppsPath(), QString::fromUtf8(ReadFile(MimeAppsPath())).replace(avi + "=zoravel.desktop", avi + "=mpv.desktop").toUtf8());

    // ".rm" goes but ".rmvb" still has the shared type.
    mirror.Follow(State("/opt/z/", {".mp3", ".avi", ".m3u", ".rmvb"}, false));
    EXPECT_EQ(lineOf(rm), "zoravel.desktop");

    mirror.Follow(State("/opt/z/", {}));
    EXPECT_EQ(lineOf(mp3), "rhythmbox.desktop");
    EXPECT_EQ(lineOf(avi), "mpv.desktop");   // the user's choice stays
    EXPECT_EQ(lineOf(m3u[0]), "-");
    EXPECT_TRUE(kept.kept.isEmpty());
    EXPECT_FALSE(QFile::exists(ApplicationsFolder() + "/zoravel.desktop"));
    QString expected = original;
    expected.replace(avi + " = vlc.desktop;mpv.desktop;", avi + "=mpv.desktop");
    EXPECT_EQ(QString::fromUtf8(ReadFile(MimeAppsPath())), expected);

    // A file without the group gets one, with nothing else touched.
    WriteFile(MimeAppsPath(), "[Added Associations]\nx/y=a.desktop;");
    mirror.Follow(State("/opt/z/", {".mpg"}));
    EXPECT_EQ(QString::fromUtf8(ReadFile(MimeAppsPath())),
              "[Added Associations]\nx/y=a.desktop;\n\n[Default Applications]\n" + Type(".mpg") + "=zoravel.desktop\n");
    mirror.Follow(State("/opt/z/", {}));
    EXPECT_EQ(QString::fromUtf8(ReadFile(MimeAppsPath())), "[Added Associations]\nx/y=a.desktop;\n\n[Default Applications]\n");
}

TEST(DesktopMirror, EntriesStartThePlayerFromAnyFolder)
{
    if (!HaveTools()) GTEST_SKIP() << "gio, desktop-file-validate or update-mime-database missing";
    TempHome home;
    MapKept kept;
    // Folder names that a careless Exec line would split, expand or cut.
    for (const QString& name : {QStringLiteral("Zo ravel"), QStringLiteral("Zo\"ravel"), QStringLiteral("Zo$HOME`x`"),
                                QStringLiteral("Zo\\ravel")}) {
        SCOPED_TRACE(name.toStdString());
        const QString folder = home.dir.filePath(name) + "/";
        const QString record = home.dir.filePath("args");
        QFile::remove(record);
        // The stand-in player records its arguments, one a line.
        ASSERT_TRUE(WriteFile(folder + "Zorvi", QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1.tmp'\n"
                                                               "mv '%1.tmp' '%1'\n")
                                                    .arg(record)
                                                    .toUtf8()));
        QFile::setPermissions(folder + "Zorvi", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        MirrorState state = State(folder, {".mp3"});
        state.dvdVerb = state.cdAutoPlay = state.cdAutoPlayTurnedOn = true;
        DesktopMirror mirror(kept);
        mirror.Follow(state);
        mirror.RunUpdaters();
        for (const char* entry : {kPlayerEntry, kDvdEntry, kCdEntry}) {
            int code = -1;
            const QString out = home.Run("desktop-file-validate", {ApplicationsFolder() + "/" + entry}, &code);
            EXPECT_EQ(code, 0) << entry << out.toStdString();
            EXPECT_FALSE(out.contains("error")) << out.toStdString();
        }
        struct Launch {
            const char* entry;
            QString argument;
            QString expected;
        } launches[] = {
            {kPlayerEntry, home.dir.filePath("a song.mp3"), home.dir.filePath("a song.mp3") + "\n"},
            {kDvdEntry, home.dir.filePath("disc"), "/DVD\n" + home.dir.filePath("disc") + "\n"},
            {kCdEntry, "cdda://sr0/", "/CD\ncdda://sr0/\n"},
        };
        for (const Launch& l : launches) {
            QFile::remove(record);
            home.Run("gio", {"launch", ApplicationsFolder() + "/" + l.entry, l.argument});
            EXPECT_TRUE(testutil::WaitUntil([&] { return QFile::exists(record); }, 10000)) << l.entry;
            EXPECT_EQ(QString::fromUtf8(ReadFile(record)), l.expected) << l.entry;
        }
    }
    // The CD's handler is its medium's default, the DVD's only offered.
    EXPECT_TRUE(home.Run("gio", {"mime", "x-content/audio-cdda"}).contains("zoravel-cd.desktop"));
    EXPECT_TRUE(home.Run("gio", {"mime", "x-content/video-dvd"}).contains("\tzoravel-dvd.desktop"));
    QString line;
    const QString lines = QString::fromUtf8(ReadFile(MimeAppsPath()));
    EXPECT_TRUE(FindDefaultApplication(lines, "x-content/audio-cdda", &line));
    EXPECT_FALSE(FindDefaultApplication(lines, "x-content/video-dvd", &line));
}

TEST(DesktopMirror, PackageGivesOurTypesAndIcons)
{
    if (!HaveTools()) GTEST_SKIP() << "gio or update-mime-database missing";
    TempHome home;
    const QString icon = home.dir.filePath("icon.png");
    WriteFile(icon, "png");
    MapKept kept;
    DesktopMirror mirror(kept);
    MirrorState state = State("/opt/z/", {".zol"});
    state.listTypeNamed = true;
    state.listDescription = "Zoravel リストファイル";
    for (MirrorExtension& e : state.extensions) {
        if (e.extension == ".zol") e.iconIndex = 2;
        if (e.extension == ".mp3") e.iconIndex = 1;
    }
    for (const char* name : {"zoravel", "zoravel-media", "zoravel-list", "zoravel-setup"}) state.iconFiles[name] = icon;
    mirror.Follow(state);
    EXPECT_TRUE(mirror.MimeChanged());
    mirror.RunUpdaters();
    WriteFile(home.dir.filePath("x.zol"), "a\n");
    WriteFile(home.dir.filePath("y.mp3"), QByteArray("ID3\x03\0\0\0\0\0\0", 10));
    const QString zol = home.Run("gio", {"info", "-a", "standard::content-type,standard::icon", home.dir.filePath("x.zol")});
    EXPECT_TRUE(zol.contains("application/x-zoravel-list")) << zol.toStdString();
    EXPECT_TRUE(zol.contains("zoravel-list")) << zol.toStdString();
    const QString mp3 = home.Run("gio", {"info", "-a", "standard::icon", home.dir.filePath("y.mp3")});
    EXPECT_TRUE(mp3.contains("zoravel-media")) << mp3.toStdString();
    const QString data = home.dir.filePath("data");
    EXPECT_TRUE(QFile::exists(data + "/icons/hicolor/48x48/mimetypes/zoravel-list.png"));
    EXPECT_TRUE(QFile::exists(data + "/icons/hicolor/48x48/apps/zoravel.png"));
    EXPECT_FALSE(QFile::exists(data + "/icons/hicolor/48x48/apps/zoravel-setup.png"));

    // Without the list type and the icons the package, the entries and the
    // icons go.
    mirror.Follow(State("/opt/z/", {}));
    mirror.RunUpdaters();
    EXPECT_FALSE(QFile::exists(MimeFolder() + "/packages/Zoravel.xml"));
    EXPECT_FALSE(QFile::exists(data + "/icons/hicolor/48x48/apps/zoravel.png"));
    EXPECT_FALSE(home.Run("gio", {"info", "-a", "standard::content-type", home.dir.filePath("x.zol")})
                     .contains("zoravel"));
}

}  // namespace

// The setup tool's registrations on a temporary registry: associations and
// their back-ups, type icons, the DVD and CD verbs and AutoPlay handlers.
#include "setup/Registrations.h"

#include "common/Reghelp.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <ostream>

// Texts in the failure messages.
inline std::ostream& operator<<(std::ostream& out, const QString& text) { return out << text.toStdString(); }

namespace {

using namespace zoset;

const QString kFolder = QStringLiteral("/opt/zo ravel/");

// A REG_SZ value of a key below a root; "<missing>" when it is not there.
QString Value(HKEY root, const QString& path, const char* name = nullptr)
{
    RegKey key = RegKey::Open(root, path.toUtf8().constData(), KEY_READ);
    QString text;
    if (!key || !ReadSz(key.get(), name, &text)) return QStringLiteral("<missing>");
    return text;
}

bool HasKey(HKEY root, const QString& path) { return bool(RegKey::Open(root, path.toUtf8().constData(), KEY_READ)); }

void Set(HKEY root, const QString& path, const char* name, const QString& text)
{
    RegKey key = RegKey::Create(root, path.toUtf8().constData(), KEY_ALL_ACCESS);
    ASSERT_TRUE(key);
    RegWriteString(key.get(), name, text);
}

bool Associated(const QString& ext)
{
    bool associated = false, icon = false;
    ReadAssociation(ext, &associated, &icon);
    return associated;
}

bool HasIcon(const QString& ext)
{
    bool associated = false, icon = false;
    ReadAssociation(ext, &associated, &icon);
    return icon;
}

TEST(Registrations, NamesOfThePlayer)
{
    EXPECT_EQ(GetFileNamePart("/a/b:c\\Zorvi,1"), "Zorvi,1");
    EXPECT_EQ(GetFileTitle("/x.y/Zorvi.exe"), "Zorvi");
    EXPECT_EQ(GetFileTitle("/x.y/Zorvi"), "Zorvi");
    struct Case {
        const char* text;
        bool player;
    } cases[] = {
        {"/opt/zo ravel/Zorvi,1", true},     {"/opt/zo ravel/Zorvi,2", true},
        {"C:\\Program Files\\Zorvi.exe,0", true}, {"/opt/zo ravel/zorvi,1", false},
        {"/opt/Zorvi.d/mplayer,1", false},  {"/opt/Zorvi,x", false},
        {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(NamesPlayer(c.text), c.player) << c.text;
}

TEST(Registrations, AssociationKeepsAndRestoresTheDefaultVerb)
{
    testutil::IsolatedHome home;
    Set(HKEY_CLASSES_ROOT, ".avi", nullptr, "avifile");
    Set(HKEY_CLASSES_ROOT, "avifile\\shell", nullptr, "open");
    EXPECT_FALSE(Associated(".avi"));

    Associate(kFolder, ".avi");
    EXPECT_TRUE(Associated(".avi"));
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "avifile\\shell"), "PlaywithZo");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "avifile\\shell", "ZoravelBAK"), "open");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "avifile\\shell\\PlaywithZo\\command"), "\"/opt/zo ravel/Zorvi\" \"%1\"");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "avifile\\shell\\PlaywithZo"), "&Zoravel で再生");
    // A second association finds the verb ours and keeps the first back-up.
    Associate(kFolder, ".avi");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "avifile\\shell", "ZoravelBAK"), "open");

    Unassociate(".avi");
    EXPECT_FALSE(Associated(".avi"));
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "avifile\\shell"), "open");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "avifile\\shell", "ZoravelBAK"), "<missing>");
    EXPECT_FALSE(HasKey(HKEY_CLASSES_ROOT, "avifile\\shell\\PlaywithZo"));

    // No extension key, no verb: the type comes from the table and the empty
    // verb is what goes back.
    Associate(kFolder, ".mp3");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, ".mp3"), "mp3file");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "mp3file\\shell", "ZoravelBAK"), "");
    Unassociate(".mp3");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "mp3file\\shell"), "");
    EXPECT_FALSE(Associated(".mp3"));

    // An extension outside the table gets "<ext>file"; a back-up of an earlier
    // release ("BAK") is honoured; one naming our verb changes nothing.
    Associate(kFolder, ".ogg");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, ".ogg"), "oggfile");
    Set(HKEY_CLASSES_ROOT, "wavtype\\shell", nullptr, "PlaywithZo");
    Set(HKEY_CLASSES_ROOT, "wavtype\\shell", "BAK", "play");
    Set(HKEY_CLASSES_ROOT, ".wav", nullptr, "wavtype");
    Unassociate(".wav");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "wavtype\\shell"), "play");
    Set(HKEY_CLASSES_ROOT, "oggfile\\shell", "ZoravelBAK", "PlaywithZo");
    Unassociate(".ogg");
    EXPECT_TRUE(Associated(".ogg"));
}

TEST(Registrations, AnotherProgramsDefaultsAreLeftAlone)
{
    testutil::IsolatedHome home;
    Set(HKEY_CLASSES_ROOT, ".asf", nullptr, "ASFFile");
    Set(HKEY_CLASSES_ROOT, "ASFFile\\shell", nullptr, "open");
    Set(HKEY_CLASSES_ROOT, "ASFFile\\DefaultIcon", nullptr, "/usr/share/wmp,3");
    Associate(kFolder, ".asf");
    SetTypeIcon(kFolder, ".asf");
    // Another program takes the type over after us.
    Set(HKEY_CLASSES_ROOT, "ASFFile\\shell", nullptr, "otherplay");
    Set(HKEY_CLASSES_ROOT, "ASFFile\\DefaultIcon", nullptr, "/usr/bin/other,0");
    Unassociate(".asf");
    RestoreTypeIcon(".asf");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "ASFFile\\shell"), "otherplay");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "ASFFile\\DefaultIcon"), "/usr/bin/other,0");
}

TEST(Registrations, TypeIcons)
{
    testutil::IsolatedHome home;
    // Without a type the icon still leads from the extension, so it reads
    // back as set.
    SetTypeIcon(kFolder, ".mp3");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, ".mp3"), "mp3file");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "mp3file\\DefaultIcon"), "/opt/zo ravel/Zorvi,1");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "mp3file\\DefaultIcon", "ZoravelBAK"), "");
    EXPECT_TRUE(HasIcon(".mp3"));
    EXPECT_FALSE(Associated(".mp3"));

    Set(HKEY_CLASSES_ROOT, ".m3u", nullptr, "m3ufile");
    Set(HKEY_CLASSES_ROOT, "m3ufile\\DefaultIcon", nullptr, "/usr/share/icons/list.png,0");
    SetTypeIcon(kFolder, ".m3u");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "m3ufile\\DefaultIcon"), "/opt/zo ravel/Zorvi,2");
    // Setting it again writes nothing: the back-up stays the older icon.
    SetTypeIcon(kFolder, ".m3u");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "m3ufile\\DefaultIcon", "ZoravelBAK"), "/usr/share/icons/list.png,0");
    RestoreTypeIcon(".m3u");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "m3ufile\\DefaultIcon"), "/usr/share/icons/list.png,0");
    EXPECT_FALSE(HasIcon(".m3u"));

    // The same path with the name in lower case is not the player's icon.
    Set(HKEY_CLASSES_ROOT, "m3ufile\\DefaultIcon", nullptr, "/opt/zo ravel/zorvi,2");
    EXPECT_FALSE(HasIcon(".m3u"));

    // A back-up that names the player (a copy elsewhere) is never restored.
    Set(HKEY_CLASSES_ROOT, ".wma", nullptr, "WMAFile");
    Set(HKEY_CLASSES_ROOT, "WMAFile\\DefaultIcon", nullptr, "/old/place/Zorvi,1");
    SetTypeIcon(kFolder, ".wma");
    RestoreTypeIcon(".wma");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "WMAFile\\DefaultIcon"), "/opt/zo ravel/Zorvi,1");
}

TEST(Registrations, ListFilesOfOurOwn)
{
    testutil::IsolatedHome home;
    Associate(kFolder, ".zol");
    SetTypeIcon(kFolder, ".zol");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, ".zol"), "zolfile");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "zolfile"), "Zoravel リストファイル");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "zolfile\\DefaultIcon"), "/opt/zo ravel/Zorvi,2");
    EXPECT_TRUE(Associated(".zol"));
    EXPECT_TRUE(HasIcon(".zol"));
    RestoreTypeIcon(".zol");
    EXPECT_FALSE(HasKey(HKEY_CLASSES_ROOT, "zolfile\\DefaultIcon"));
    Unassociate(".zol");
    EXPECT_FALSE(HasKey(HKEY_CLASSES_ROOT, ".zol"));
    EXPECT_FALSE(HasKey(HKEY_CLASSES_ROOT, "zolfile"));

    // A type someone else gave ".zol" gets no description of ours.
    Set(HKEY_CLASSES_ROOT, ".zol", nullptr, "otherlist");
    Associate(kFolder, ".zol");
    EXPECT_FALSE(HasKey(HKEY_CLASSES_ROOT, "zolfile"));
    EXPECT_TRUE(Associated(".zol"));
}

TEST(Registrations, DriveVerbsAndAutoPlay)
{
    testutil::IsolatedHome home;
    // Without the drive types both groups are off.
    for (Medium m : {Medium::Dvd, Medium::Cd}) {
        const MediumState s = ReadMediumState(kFolder, m);
        EXPECT_FALSE(s.groupAvailable || s.verbEnabled || s.autoPlayEnabled || s.verb || s.autoPlay);
    }
    // A desktop that knows DVD videos only: the CD group has its verb but no
    // AutoPlay.
    CreateSystemKeys(true, false);
    RegKey::Create(HKEY_CLASSES_ROOT, "AudioCD\\Shell", KEY_ALL_ACCESS);
    MediumState cd = ReadMediumState(kFolder, Medium::Cd);
    EXPECT_TRUE(cd.groupAvailable && cd.verbEnabled);
    EXPECT_FALSE(cd.autoPlayAvailable || cd.autoPlayEnabled);
    MediumState dvd = ReadMediumState(kFolder, Medium::Dvd);
    EXPECT_TRUE(dvd.autoPlayAvailable);
    EXPECT_FALSE(dvd.autoPlayEnabled);   // the verb is not checked

    AddVerb(kFolder, Medium::Dvd);
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "DVD\\shell\\Play_with_Zoravel\\command"), "\"/opt/zo ravel/Zorvi\" /DVD %1");
    EXPECT_TRUE(ReadMediumState(kFolder, Medium::Dvd).verb);
    EXPECT_TRUE(ReadMediumState(kFolder, Medium::Dvd).autoPlayEnabled);
    // Another copy's verb, even one in a folder differing only in case, is not ours.
    EXPECT_FALSE(ReadMediumState("/opt/other/", Medium::Dvd).verb);
    EXPECT_FALSE(ReadMediumState("/opt/Zo Ravel/", Medium::Dvd).verb);

    AddAutoPlay(kFolder, Medium::Dvd);
    const QString handler = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers\\Handlers\\"
                            "ZoravelDVDEventHandler";
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, handler, "InvokeProgID"), "DVD");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, handler, "DefaultIcon"), "/opt/zo ravel/Zorvi,0");
    EXPECT_TRUE(HasAutoPlay(Medium::Dvd));
    // The handler registered without the verb: checked and enabled.
    RemoveVerb(Medium::Dvd);
    dvd = ReadMediumState(kFolder, Medium::Dvd);
    EXPECT_TRUE(dvd.autoPlay && dvd.autoPlayEnabled && !dvd.verb);

    // Removal takes the older form of the verb key too.
    Set(HKEY_CLASSES_ROOT, "DVD\\shell\\Play with Zoravel\\command", nullptr, "old");
    AddVerb(kFolder, Medium::Dvd);
    EXPECT_TRUE(HasVerb(Medium::Dvd));
    RemoveVerb(Medium::Dvd);
    EXPECT_FALSE(HasKey(HKEY_CLASSES_ROOT, "DVD\\shell\\Play with Zoravel"));
    EXPECT_FALSE(HasKey(HKEY_CLASSES_ROOT, "DVD\\shell\\Play_with_Zoravel"));
    EXPECT_TRUE(HasKey(HKEY_CLASSES_ROOT, "DVD\\shell"));
    RemoveAutoPlay(Medium::Dvd);
    EXPECT_FALSE(HasAutoPlay(Medium::Dvd));
    EXPECT_FALSE(HasKey(HKEY_LOCAL_MACHINE, handler));

    // The CD's keys are spelt as the desktop's own.
    AddVerb(kFolder, Medium::Cd);
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "AudioCD\\Shell\\Play_with_Zoravel"), "Zoravel で再生");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, "AudioCD\\Shell\\Play_with_Zoravel\\Command"), "\"/opt/zo ravel/Zorvi\" /CD %1");
}

}  // namespace

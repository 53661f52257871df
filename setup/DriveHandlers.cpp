// The verbs on the DVD and audio-CD drive types and the AutoPlay handlers
// for inserted DVD videos and audio CDs. The two media are one family: the
// CD's keys differ from the DVD's in names and in the case of "Shell" and
// "Command", which the desktop's own key spells so.
#include "setup/Registrations.h"

#include "common/Reghelp.h"

namespace zoset {

namespace {

constexpr char kAutoplay[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers";
constexpr char kHandlers[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers\\Handlers";

struct MediumKeys {
    const char* driveType;    // "DVD"
    const char* shell;        // "DVD\shell"
    const char* verb;         // "DVD\shell\Play_with_Zoravel"
    const char* command;      // "...\command"
    const char* menuText;
    const char* word;         // the player's command word
    const char* event;        // the AutoPlay event of the medium
    const char* handler;
    const char* action;
};

const MediumKeys& KeysOf(Medium medium)
{
    static const MediumKeys dvd{"DVD",
                                "DVD\\shell",
                                "DVD\\shell\\Play_with_Zoravel",
                                "DVD\\shell\\Play_with_Zoravel\\command",
                                "&Zoravel で再生",
                                "/DVD",
                                "PlayDVDMovieOnArrival",
                                "ZoravelDVDEventHandler",
                                "DVD ビデオの再生"};
    static const MediumKeys cd{"AudioCD",
                               "AudioCD\\Shell",
                               "AudioCD\\Shell\\Play_with_Zoravel",
                               "AudioCD\\Shell\\Play_with_Zoravel\\Command",
                               "Zoravel で再生",
                               "/CD",
                               "PlayCDAudioOnArrival",
                               "ZoravelCDOnArrival",
                               "オーディオ CD の再生"};
    return medium == Medium::Dvd ? dvd : cd;
}

std::string EventKey(Medium medium)
{
    return std::string(kAutoplay) + "\\EventHandlers\\" + KeysOf(medium).event;
}

}  // namespace

QString DriveCommand(const QString& folder, Medium medium)
{
    return QLatin1Char('"') + folder + QLatin1String(kPlayerName) + QStringLiteral("\" ") +
           QLatin1String(KeysOf(medium).word) + QStringLiteral(" %1");
}

QString HandlerName(Medium medium) { return QLatin1String(KeysOf(medium).handler); }

MediumState ReadMediumState(const QString& folder, Medium medium)
{
    const MediumKeys& k = KeysOf(medium);
    MediumState state;
    if (!RegKey::Open(HKEY_CLASSES_ROOT, k.driveType, KEY_READ)) {
        state.verbEnabled = state.autoPlayEnabled = false;
        state.groupAvailable = false;
        return state;
    }
    if (RegKey command = RegKey::Open(HKEY_CLASSES_ROOT, k.command, KEY_READ)) {
        QString text;
        // Case matters: two folders that differ only in case hold two copies.
        if (ReadSz(command.get(), nullptr, &text)) state.verb = text == DriveCommand(folder, medium);
    }
    RegKey event = RegKey::Open(HKEY_LOCAL_MACHINE, EventKey(medium).c_str(), KEY_READ);
    if (!event) {
        state.autoPlayEnabled = false;
        return state;
    }
    state.autoPlayAvailable = true;
    QString value;
    state.autoPlay = ReadSz(event.get(), k.handler, &value);
    if (!state.autoPlay && !state.verb) state.autoPlayEnabled = false;
    return state;
}

void AddVerb(const QString& folder, Medium medium)
{
    const MediumKeys& k = KeysOf(medium);
    RegKey verb = RegKey::Create(HKEY_CLASSES_ROOT, k.verb, KEY_ALL_ACCESS);
    if (!verb) return;
    RegWriteString(verb.get(), nullptr, QString::fromUtf8(k.menuText));
    RegKey command = RegKey::Create(HKEY_CLASSES_ROOT, k.command, KEY_ALL_ACCESS);
    if (command) RegWriteString(command.get(), nullptr, DriveCommand(folder, medium));
}

void AddAutoPlay(const QString& folder, Medium medium)
{
    const MediumKeys& k = KeysOf(medium);
    if (RegKey event = RegKey::Open(HKEY_LOCAL_MACHINE, EventKey(medium).c_str(), KEY_ALL_ACCESS))
        RegWriteString(event.get(), k.handler, QString());
    if (!RegKey::Open(HKEY_LOCAL_MACHINE, kHandlers, KEY_READ)) return;
    RegKey handler = RegKey::Create(HKEY_LOCAL_MACHINE, (std::string(kHandlers) + "\\" + k.handler).c_str(), KEY_ALL_ACCESS);
    if (!handler) return;
    RegWriteString(handler.get(), "Action", QString::fromUtf8(k.action));
    RegWriteString(handler.get(), "Provider", QStringLiteral("Zoravel"));
    RegWriteString(handler.get(), "InvokeProgID", QLatin1String(k.driveType));
    RegWriteString(handler.get(), "InvokeVerb", QStringLiteral("Play_with_Zoravel"));
    RegWriteString(handler.get(), "DefaultIcon", folder + QLatin1String(kPlayerName) + QStringLiteral(",0"));
}

void RemoveVerb(Medium medium)
{
    RegKey shell = RegKey::Open(HKEY_CLASSES_ROOT, KeysOf(medium).shell, KEY_ALL_ACCESS);
    if (!shell) return;
    // The form with blanks is what earlier releases wrote.
    RegDeleteKey(shell.get(), "Play with Zoravel");
    RegDeleteKey(shell.get(), "Play_with_Zoravel");
}

void RemoveAutoPlay(Medium medium)
{
    const MediumKeys& k = KeysOf(medium);
    if (RegKey event = RegKey::Open(HKEY_LOCAL_MACHINE, EventKey(medium).c_str(), KEY_ALL_ACCESS))
        RegDeleteValue(event.get(), k.handler);
    if (RegKey handlers = RegKey::Open(HKEY_LOCAL_MACHINE, kHandlers, KEY_ALL_ACCESS))
        RegDeleteKey(handlers.get(), k.handler);
}

bool HasVerb(Medium medium)
{
    RegKey command = RegKey::Open(HKEY_CLASSES_ROOT, KeysOf(medium).command, KEY_READ);
    QString text;
    return command && ReadSz(command.get(), nullptr, &text) && NamesPlayer(text.section(QLatin1Char('"'), 1, 1));
}

bool HasAutoPlay(Medium medium)
{
    RegKey event = RegKey::Open(HKEY_LOCAL_MACHINE, EventKey(medium).c_str(), KEY_READ);
    QString value;
    return event && ReadSz(event.get(), KeysOf(medium).handler, &value);
}

void CreateSystemKeys(bool knowsDvdVideo, bool knowsAudioCd)
{
    const auto make = [](HKEY root, const std::string& path) { RegKey::Create(root, path.c_str(), KEY_ALL_ACCESS); };
    if (knowsDvdVideo) {
        make(HKEY_CLASSES_ROOT, KeysOf(Medium::Dvd).shell);
        make(HKEY_LOCAL_MACHINE, EventKey(Medium::Dvd));
        make(HKEY_LOCAL_MACHINE, kHandlers);
    }
    if (knowsAudioCd) {
        make(HKEY_CLASSES_ROOT, KeysOf(Medium::Cd).shell);
        make(HKEY_LOCAL_MACHINE, EventKey(Medium::Cd));
    }
}

}  // namespace zoset

// What the folder search takes: the file kinds chosen in "検索ファイル"
// (the Serch values of Main), or every extension of the displayed file
// types; and the scan of one folder that adds what it takes. No window:
// the search window runs it and the settings dialog edits the kinds.
#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <functional>

struct TSearchKinds {
    // In the order the scan tests them; a file is added by its first match.
    enum Kind { Mpeg, WindowsMedia, Avi, RealMedia, Mp3, Audio, Midi, Picture, List, Custom1, Custom2, KindCount };

    std::array<bool, KindCount> on{};
    // The extensions of the two custom kinds, without a period.
    QString custom1, custom2;

    // The values of Main, each with its default (AVI, Windows Media and MPEG on).
    static TSearchKinds Load();
    // Writes them (Main opened, never created); false when it cannot be written.
    bool Save() const;
    bool AnyOn() const;
    // Whether a chosen kind takes `extension` (lower case, no period).
    bool Takes(const QString& extension) const;
};

class TFolderSearch {
public:
    // By the chosen kinds.
    explicit TFolderSearch(const TSearchKinds& kinds);
    // By the displayed file types (the Extension text, "*.avi;*.mpg;...").
    static TFolderSearch ByExtensionList(const QString& extensionList);

    bool Takes(const QString& extension) const;

    // Adds the files of `folder` that the search takes, in name order:
    // hidden files (a name beginning with ".") and folders are skipped, no
    // sub-folder is entered, and a shortcut (lnk, desktop) adds its target
    // when that exists. `step` runs after each file with an extension and
    // stops the scan by returning false. Returns false when stopped.
    bool Run(const QString& folder, const std::function<void(const QString&)>& add,
             const std::function<bool()>& step) const;

private:
    TFolderSearch() = default;
    TSearchKinds kinds_;
    QStringList extensions_;
    bool byKinds_ = true;
};

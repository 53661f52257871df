// The colour window's state without its widgets: the six picture values as
// track-bar positions on whichever colour path the main window holds, every
// change written to the picture at once, the values the window found kept
// for Cancel, and the named presets under the path's colour key.
//
// Overlay path (the overlay or windowless-7 colour stage): positions are the
// stage's own integers. VMR-9 path (the painted renderer's picture
// controls): positions are renderer steps, value = position x step; gamma
// and sharpness do not exist there. Main thread.
#pragma once

#include "platform/media/picture_controls.h"

#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <optional>

class IToolHost;

class TColorAdjust {
public:
    enum Property { Brightness, Contrast, Hue, Saturation, Gamma, Sharpness, kProperties };
    enum class Path { None, Overlay, Vmr9 };
    struct Bar {
        bool enabled = false;
        int min = 0;
        int max = 0;
        int lineSize = 1;
        int position = 0;
    };
    // The answer to a preset name the user typed.
    enum class NameAnswer { Saved, Semicolon, Backslash, Unchanged, Taken, Failed };

    explicit TColorAdjust(IToolHost& host);

    // Reads the values from the colour path; false when there is none (every
    // bar disabled). Fills the preset names on success.
    bool Load();
    Path path() const { return path_; }
    const Bar& bar(int p) const { return bars_[p]; }
    bool sharpnessShown() const { return sharpShown_; }
    bool changed() const { return changed_; }
    bool presetsChanged() const { return presetsChanged_; }
    // The preset names in list order (without the empty "no preset" item).
    const QStringList& presets() const { return presets_; }
    // `Color\Overlay` or `Color\VMR9`.
    QString ColorKey() const;

    // One bar moved: the value goes to the picture at once.
    void Change(int property, int position);
    // The renderer's defaults on every enabled bar.
    void Defaults();
    // The values the window found, on the picture and the bars.
    void Restore();
    // The values the window found, on the picture only: the bars stay.
    void Cancel();
    // OK: the overlay values become the stored current ones.
    void StoreAtOk();

    // A new preset (renameIndex < 0) or the rename of presets()[renameIndex].
    NameAnswer SavePreset(const QString& name, int renameIndex);
    // The current positions under presets()[index].
    void OverwritePreset(int index);
    void DeletePreset(int index);
    // The stored values of presets()[index] for the enabled bars; a value
    // not stored is the overlay default, or on the VMR-9 path no value.
    std::array<std::optional<int>, kProperties> ReadPreset(int index) const;

private:
    bool LoadOverlay(const media::DDCOLORCONTROL& c);
    void LoadVmr9();
    bool WriteOverlay(DWORD flags, const std::array<int, kProperties>& values);
    bool WriteVmr9(const std::array<int, kProperties>& positions, const std::array<bool, 4>& useDefault);
    void WritePositions(const QString& keyPath, bool createKey) const;
    bool WriteSetNames() const;
    QString PresetKey(const QString& name) const;

    IToolHost& host_;
    Path path_ = Path::None;
    std::shared_ptr<media::ColorControl> control_;
    std::array<Bar, kProperties> bars_{};
    std::array<int, kProperties> initial_{};
    bool sharpShown_ = false;
    bool changed_ = false;
    bool presetsChanged_ = false;
    QStringList presets_;
};

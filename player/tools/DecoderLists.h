// The decoder sheet's eight lists and the output sheet's audio renderer
// list. A decoder list shows only the chosen name until it is first dropped
// down; then it holds "初期値" (the graph's own choice) and the installed
// decoders of its kind. Each list keeps its own chosen name and, once a
// choice was made from the filled list, the identifier of that decoder, so a
// stored name always sits beside its own decoder's identifier.
#pragma once

#include "platform/media/catalogue.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QMenu;
class QWidget;

class TDecoderLists {
public:
    static constexpr int kKinds = media::kDecoderKinds;
    TDecoderLists(const std::array<QComboBox*, kKinds>& lists, QCheckBox* showAll, QComboBox* audio, QWidget* owner);
    ~TDecoderLists();

    // ShDecoderShow: the names (empty: default) become each list's one item.
    void Fill(const std::array<QString, kKinds>& names);
    // CmbDecDropDown: the first time, the list is filled with its kind's decoders.
    void DropDown(int kind);
    // CmbDecChange: the user chose an item. MPEG-2 and DVD video may not share
    // a decoder with their audio partner: the list then goes back.
    void Change(int kind);
    // CheckBox3Click ("すべて表示"): the lists forget their decoders and show
    // their chosen names again; the next drop-down lists every rank.
    void ShowAllClick();
    // BtnDecproClick: the pop-up of the decoders' property dialogs.
    QMenu* PropertyMenu();

    QString Name(int kind) const { return names_[kind]; }
    // The identifier of the decoder chosen from the filled list (zeros for
    // "初期値"); none while no choice was made.
    std::optional<QByteArray> ChosenId(int kind) const { return ids_[kind]; }
    bool Filled(int kind) const { return entries_[kind].has_value(); }

    // The audio renderer list, once: "標準" then the output devices; the
    // item named `stored` is selected.
    void FillAudio(const QString& stored);
    bool AudioFilled() const { return audio_.has_value(); }
    // The chosen renderer's identifier, zeros for "標準".
    QByteArray AudioId() const;

private:
    bool AnyRank() const;
    std::array<QComboBox*, kKinds> lists_;
    QCheckBox* showAll_;
    QComboBox* audioList_;
    QWidget* owner_;
    std::array<QString, kKinds> names_;
    std::array<std::optional<QByteArray>, kKinds> ids_;
    std::array<int, kKinds> index_{};
    std::array<std::optional<std::vector<media::CatalogueEntry>>, kKinds> entries_;
    std::optional<std::vector<media::CatalogueEntry>> audio_;
    QMenu* menu_ = nullptr;
};

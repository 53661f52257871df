#include "player/tools/DecoderLists.h"

#include "platform/dialogs/dialogs.h"
#include "platform/media/elements.h"
#include "player/units/Zodlg.h"

#include <gst/gst.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QDialog>
#include <QMenu>

namespace {

const QString kDefault = QStringLiteral("初期値");
const QByteArray kZeroId(16, '\0');

// The MPEG-2 and DVD lists pair video with audio: one decoder may not serve both.
int Partner(int kind)
{
    switch (kind) {
    case 2: return 3;
    case 3: return 2;
    case 4: return 5;
    case 5: return 4;
    default: return -1;
    }
}

// The outside decoder families whose own setting dialogs the library shows:
// the tag tells which dialog (3 the Sonic one, else ShowDecoderDlg(tag != 0)).
struct OutsideDecoder {
    const char* name;
    int tag;
};
const OutsideDecoder kOutsideDecoders[] = {
    {"InterVideo Video Decoder", 1},
    {"CyberLink Video/SP Decoder", 0},
    {"Sonic CinemasterR DS Video Decoder", 3},
};

void ShowOutsideDecoderDialog(int tag)
{
    TZodlgLibrary library;
    if (tag == 3) {
        if (auto show = library.Find<ShowDialogProc>("ShowSonicDecoderDlg")) show();
    } else if (auto show = library.Find<ShowDecoderDlgProc>("ShowDecoderDlg")) {
        show(tag != 0);
    }
}

// A new element of the factory in the generic property dialog; its changes
// die with it, as nothing of it is kept.
void ShowProperties(const QString& factory, QWidget* owner)
{
    GstElement* element = media::MakeCatalogueElement(factory);
    if (!element) return;
    if (std::unique_ptr<QDialog> dialog = media::CreatePropertyDialog(element, owner)) dialog->exec();
    gst_object_unref(element);
}

}  // namespace

TDecoderLists::TDecoderLists(const std::array<QComboBox*, kKinds>& lists, QCheckBox* showAll, QComboBox* audio,
                             QWidget* owner)
    : lists_(lists), showAll_(showAll), audioList_(audio), owner_(owner)
{
}

TDecoderLists::~TDecoderLists() { delete menu_; }

bool TDecoderLists::AnyRank() const { return showAll_->isChecked(); }

void TDecoderLists::Fill(const std::array<QString, kKinds>& names)
{
    names_ = names;
    for (int kind = 0; kind < kKinds; ++kind) {
        QComboBox* list = lists_[kind];
        list->clear();
        list->addItem(names_[kind].isEmpty() ? kDefault : names_[kind]);
        list->setCurrentIndex(0);
        index_[kind] = 0;
    }
}

void TDecoderLists::DropDown(int kind)
{
    QComboBox* list = lists_[kind];
    if (list->count() <= 1) {
        const QString kept = list->currentText();
        list->clear();
        list->addItem(kDefault);
        if (!entries_[kind]) entries_[kind] = media::MatchingDecoders(kind, AnyRank());
        for (const media::CatalogueEntry& e : *entries_[kind]) {
            list->addItem(e.name);
            if (e.name == kept) list->setCurrentIndex(list->count() - 1);
        }
        if (list->currentIndex() < 0) list->setCurrentIndex(0);
    }
    index_[kind] = list->currentIndex();
}

void TDecoderLists::Change(int kind)
{
    QComboBox* list = lists_[kind];
    const int index = list->currentIndex();
    const QString name = index >= 1 ? list->itemText(index) : QString();
    const int partner = Partner(kind);
    if (partner >= 0 && !name.isEmpty() && name == names_[partner]) {
        MessageBox(owner_, QStringLiteral("デコーダーが重複します"), QStringLiteral("警告"),
                   MB_ICONEXCLAMATION | MB_TOPMOST);
        list->setCurrentIndex(index_[kind]);
        return;
    }
    names_[kind] = name;
    index_[kind] = index;
    if (entries_[kind])
        ids_[kind] = index >= 1 && index - 1 < int(entries_[kind]->size()) ? (*entries_[kind])[index - 1].classId
                                                                          : kZeroId;
}

void TDecoderLists::ShowAllClick()
{
    for (auto& e : entries_) e.reset();
    Fill(names_);
}

QMenu* TDecoderLists::PropertyMenu()
{
    if (menu_) return menu_;
    menu_ = new QMenu(owner_);
    menu_->setObjectName(QStringLiteral("PopupMenu2"));
    static const char* const kGroups[][2] = {{"MiMPEG1V", "MPEG-1 Video"}, {"MiMPEG1A", "MPEG-1 Audio"},
                                             {"MiMPEG2V", "MPEG-2 Video"}, {"MiMPEG2A", "MPEG-2 Audio"},
                                             {"MiDVDV", "DVD Video"},      {"MiDVDA", "DVD Audio"}};
    std::array<QMenu*, 6> groups{};
    for (int kind = 0; kind < 6; ++kind) {
        groups[kind] = menu_->addMenu(QString::fromUtf8(kGroups[kind][1]));
        groups[kind]->setObjectName(QString::fromUtf8(kGroups[kind][0]));
    }
    menu_->addSeparator()->setObjectName(QStringLiteral("N1"));
    QMenu* outside = menu_->addMenu(QStringLiteral("設定"));
    outside->setObjectName(QStringLiteral("N2"));
    outside->menuAction()->setVisible(false);
    for (int kind = 0; kind < 6; ++kind) {
        const std::vector<media::CatalogueEntry> found = media::MatchingDecoders(kind, AnyRank());
        for (const media::CatalogueEntry& e : found) {
            QAction* item = groups[kind]->addAction(e.name);
            const QString factory = e.factory;
            QObject::connect(item, &QAction::triggered, menu_, [factory, this] { ShowProperties(factory, owner_); });
            if (kind != 2) continue;
            for (const OutsideDecoder& d : kOutsideDecoders) {
                if (e.name != QLatin1String(d.name)) continue;
                const int tag = d.tag;
                QObject::connect(outside->addAction(e.name), &QAction::triggered, menu_,
                                 [tag] { ShowOutsideDecoderDialog(tag); });
                outside->menuAction()->setVisible(true);
            }
        }
    }
    return menu_;
}

void TDecoderLists::FillAudio(const QString& stored)
{
    if (audio_) return;
    audio_ = media::AudioOutputDevices();
    for (const media::CatalogueEntry& e : *audio_) {
        audioList_->addItem(e.name);
        if (e.name == stored) audioList_->setCurrentIndex(audioList_->count() - 1);
    }
}

QByteArray TDecoderLists::AudioId() const
{
    const int index = audioList_->currentIndex();
    if (!audio_ || index < 1 || index - 1 >= int(audio_->size())) return kZeroId;
    return (*audio_)[index - 1].classId;
}

// The media library window's registration and entry commands as the user
// runs them from its menus, with the name boxes, the open dialog and the
// folder chooser answered in-process and the desktop recorded.
#include "window_test_util.h"

#include "platform/dialogs/dialogs.h"
#include "platform/dialogs/inputs.h"
#include "platform/shell/fileops.h"
#include "player/tools/LibraryFile.h"
#include "player/tools/TMediaViewer.h"
#include "player/units/Opendialogex.h"
#include "ui_TMediaViewer.h"

#include <QDir>
#include <QFileInfo>
#include <QListView>
#include <QMenu>

#include <deque>

using namespace mwtest;

namespace {

class LibraryCommands : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        // The trash and the desktop folders belong to the test's own home.
        oldHome_ = qgetenv("HOME");
        qputenv("HOME", Home("user").toUtf8());
        qputenv("XDG_DATA_HOME", Home("user/.local/share").toUtf8());
        MakeDir(Home("user"));
        dialogs::SetInputQueryAnswerer([this](const dialogs::InputQueryCall& call) -> std::optional<QString> {
            inputs.push_back(call.caption + ": " + call.prompt + " [" + call.value + "]");
            if (answers.empty()) return std::nullopt;
            std::optional<QString> answer = answers.front();
            answers.pop_front();
            return answer;
        });
        dialogs::SetMessageBoxAnswerer([this](const dialogs::MessageBoxCall& call) {
            boxes << call.caption + ": " + call.text;
            return IDOK;
        });
        shell::SetDesktopRecorder([this](const shell::DesktopCall& call) {
            desktop << call.method + " " + call.uris.join(' ');
            return true;
        });
    }
    void TearDown() override
    {
        dialogs::SetInputQueryAnswerer({});
        dialogs::SetFolderAnswerer({});
        dialogs::SetMessageBoxAnswerer({});
        TOpenDialogEx::SetAnswerer({});
        shell::SetDesktopRecorder({});
        WindowTest::TearDown();
        qputenv("HOME", oldHome_);
        qunsetenv("XDG_DATA_HOME");
    }

    TLibraryFile List(const char* name) const { return TLibraryFile(Home(QStringLiteral("data/ListFiles/")) + QLatin1String(name)); }
    static TMediaViewer* Viewer(const QPointer<QWidget>& field) { return qobject_cast<TMediaViewer*>(field.data()); }
    static QStringList Rows(TMediaViewer* viewer)
    {
        QStringList rows;
        const QAbstractItemModel* model = viewer->Form()->LibraryListView->model();
        for (int i = 0; i < model->rowCount(); ++i) rows << model->index(i, 0).data().toString();
        return rows;
    }
    static void Select(TMediaViewer* viewer, const QString& row)
    {
        QListView* list = viewer->Form()->LibraryListView;
        const int index = static_cast<int>(Rows(viewer).indexOf(row));
        ASSERT_GE(index, 0) << row.toStdString();
        list->setCurrentIndex(list->model()->index(index, 0));
    }
    // Opens `menu` as the user does, so its handlers set the items, and
    // chooses `item` when it is enabled. False when it was not.
    static bool Choose(QMenu* menu, QAction* item)
    {
        menu->popup(QPoint(10, 10));
        const bool enabled = item->isEnabled() && item->isVisible();
        menu->hide();
        if (enabled) item->trigger();
        return enabled;
    }

    std::deque<std::optional<QString>> answers;
    QStringList inputs, boxes, desktop;

private:
    QByteArray oldHome_;
};

TEST_F(LibraryCommands, LibraryRegistersThePlayingFileAChosenFileAndADvdThenRenamesAndUnregisters)
{
    MW_REQUIRE_FIXTURES();
    const QString a = Sound("m/a.wav");
    MakeDir(Home("disc/video_ts"));
    testutil::WriteFile(Home("disc/video_ts/VIDEO_TS.IFO"), "ifo");
    const QString list = Home("m/mix.ZOL");
    testutil::WriteFile(list, a.toUtf8() + "\n");
    Open({a});
    ASSERT_TRUE(WaitPlaying());

    ui()->TBtnShowLibrary->click();
    TMediaViewer* viewer = Viewer(w->LibraryViewer);
    ASSERT_NE(viewer, nullptr);
    Ui::TMediaViewer* form = viewer->Form();

    // A cancelled name box writes nothing, not even the folder.
    answers = {std::nullopt};
    ASSERT_TRUE(Choose(form->N1, form->miAddFileToLib));
    EXPECT_FALSE(List(TLibraryFile::kLibrary).Exists());
    // The playing file goes in under the name given; the window stays.
    answers = {QString("Tone")};
    ASSERT_TRUE(Choose(form->N1, form->miAddFileToLib));
    EXPECT_EQ(inputs.back(), "ライブラリに登録: 登録名を入力してください。 [a]");
    EXPECT_EQ(Viewer(w->LibraryViewer), viewer);
    // Nothing of a list plays: that item stays off.
    EXPECT_FALSE(Choose(form->N1, form->miAddListToLib));

    // A chosen ".ifo" registers the disc's folder, named as the desktop names it.
    TOpenDialogEx::Request asked;
    TOpenDialogEx::SetAnswerer([&](const TOpenDialogEx::Request& request) {
        asked = request;
        return TOpenDialogEx::Answer{true, {Home("disc/video_ts/VIDEO_TS.IFO")}, false, false};
    });
    answers = {std::optional<QString>(QString("Disc")), std::optional<QString>(QString("My list"))};
    ASSERT_TRUE(Choose(form->N1, form->N4));
    EXPECT_EQ(asked.title, "ライブラリに登録");
    EXPECT_EQ(asked.folderCaption, "フォルダを登録(ファイルを一つ選択してください。)");
    ASSERT_GE(asked.nameFilters.size(), 2);
    EXPECT_TRUE(asked.nameFilters.at(1).endsWith(" " + TOpenDialogEx::CaseBlindPattern("*.wm") + ")"))
        << asked.nameFilters.at(1);
    EXPECT_EQ(inputs.back(), "ライブラリに登録: 登録名を入力してください。 [disc]");
    // A file chosen with the folder box on registers its folder... here, a list.
    TOpenDialogEx::SetAnswerer([&](const TOpenDialogEx::Request&) {
        return TOpenDialogEx::Answer{true, {list}, false, false};
    });
    ASSERT_TRUE(Choose(form->N1, form->N4));
    const std::vector<TLibraryEntry> expected = {{"Tone", a}, {"Disc", Home("disc")}, {"My list", list}};
    EXPECT_EQ(List(TLibraryFile::kLibrary).Read(), expected);
    EXPECT_EQ(Rows(viewer).size(), 3);

    // "x.ZOL" is a list for the list editor; the tone is not.
    Select(viewer, "My list");
    form->PopupLibrary->popup(QPoint(10, 10));
    EXPECT_TRUE(form->N17->isEnabled());
    form->PopupLibrary->hide();
    Select(viewer, "Tone");
    form->PopupLibrary->popup(QPoint(10, 10));
    EXPECT_FALSE(form->N17->isEnabled());
    EXPECT_TRUE(form->N2->isEnabled());
    form->PopupLibrary->hide();

    // Explore shows the file in its folder; the desktop was asked once.
    ASSERT_TRUE(Choose(form->PopupLibrary, form->N18));
    EXPECT_EQ(desktop, QStringList({"ShowItems " + QUrl::fromLocalFile(a).toString(QUrl::FullyEncoded)}));

    // Renaming keeps the line's place; unregistering removes only that line.
    answers = {QString("Tone?2")};
    ASSERT_TRUE(Choose(form->PopupLibrary, form->N2));
    EXPECT_EQ(List(TLibraryFile::kLibrary).Read().front(), (TLibraryEntry{"Tone？2", a}));
    Select(viewer, "Disc");
    ASSERT_TRUE(Choose(form->PopupLibrary, form->N12));
    const std::vector<TLibraryEntry> left = {{"Tone？2", a}, {"My list", list}};
    EXPECT_EQ(List(TLibraryFile::kLibrary).Read(), left);
    EXPECT_FALSE(Rows(viewer).contains("Disc"));
    EXPECT_TRUE(boxes.isEmpty());
}

TEST_F(LibraryCommands, FolderViewerRegistersAFolderRenamesAFileWithItsRefusalsAndTrashesOne)
{
    MW_REQUIRE_FIXTURES();
    const QString first = Home("one/1 first.wav");
    ASSERT_TRUE(MakeDir(Home("one")));
    ASSERT_TRUE(QFile::copy(Fixture("tone.wav"), first));
    ASSERT_TRUE(QFile::copy(Fixture("tone.wav"), Home("one/2 second.wav")));
    Open({first});
    ASSERT_TRUE(WaitPlaying());
    const QString title = w->PlayList().Item(0).Title;

    ui()->TBtnShowFolder1->click();
    TMediaViewer* viewer = Viewer(w->FolderViewer);
    ASSERT_NE(viewer, nullptr);
    Ui::TMediaViewer* form = viewer->Form();
    EXPECT_TRUE(Rows(viewer).isEmpty());

    dialogs::FolderCall chooser;
    dialogs::SetFolderAnswerer([&](const dialogs::FolderCall& call) {
        chooser = call;
        return Home("one");
    });
    answers = {QString("One")};
    ASSERT_TRUE(Choose(form->N1, form->N4));
    EXPECT_EQ(chooser.caption, "フォルダの登録");
    EXPECT_EQ(chooser.prompt, "登録するフォルダを選択してください。");
    EXPECT_EQ(chooser.topLeft, viewer->frameGeometry().topLeft());
    EXPECT_EQ(inputs.back(), "フォルダを登録: 登録名を入力してください。 [one]");
    const std::vector<TLibraryEntry> folders = {{"One", Home("one")}};
    EXPECT_EQ(List(TLibraryFile::kFolderLibrary).Read(), folders);
    // The library's only folder is listed at once.
    EXPECT_EQ(Rows(viewer), QStringList({"1 first", "2 second"}));

    // An existing name and names no file may have are refused; nothing moves.
    Select(viewer, "1 first");
    answers = {QString("2 second"), QString("a/b"), QString(".."), QString(300, QChar('x'))};
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(Choose(form->PopupLibrary, form->N8));
    EXPECT_EQ(inputs.back(), "ファイル名変更: ファイル名を入力してください。 [1 first]");
    EXPECT_EQ(boxes, QStringList({"情報: 同じファイル名が既にあるため変更できません。", "情報: このファイル名は使えません。",
                                  "情報: このファイル名は使えません。", "情報: このファイル名は使えません。"}));
    EXPECT_TRUE(QFileInfo::exists(first));

    // A rename keeps the extension; the play list and the opened path follow.
    answers = {QString("renamed")};
    ASSERT_TRUE(Choose(form->PopupLibrary, form->N8));
    const QString renamed = Home("one/renamed.wav");
    EXPECT_TRUE(QFileInfo::exists(renamed));
    EXPECT_FALSE(QFileInfo::exists(first));
    EXPECT_TRUE(Rows(viewer).contains("renamed"));
    EXPECT_EQ(w->PlayList().Item(0).Path, renamed);
    if (title == "1 first") {
        EXPECT_EQ(w->PlayList().Item(0).Title, "renamed");
    }
    EXPECT_EQ(w->OpenedPath(), renamed);

    // The trash takes the other file with its info, where a file manager finds it.
    Select(viewer, "2 second");
    ASSERT_TRUE(Choose(form->PopupLibrary, form->N11));
    EXPECT_FALSE(QFileInfo::exists(Home("one/2 second.wav")));
    EXPECT_TRUE(QFileInfo::exists(Home("user/.local/share/Trash/files/2 second.wav")));
    EXPECT_TRUE(QFileInfo::exists(Home("user/.local/share/Trash/info/2 second.wav.trashinfo")));
    EXPECT_EQ(Rows(viewer), QStringList({"renamed"}));
}

}  // namespace

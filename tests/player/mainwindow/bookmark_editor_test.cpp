// The bookmark editor on a playing file with a fixture "Bookmarks.bmk":
// opened from the menu, notes (cut, stripped, cleared), a bookmark made at
// the position, a row deleted, all sections deleted while the bookmarks
// stay, the title list removing another file's block, and the place kept.
#include "fake_builder.h"
#include "platform/dialogs/dialogs.h"
#include "platform/paths/paths.h"
#include "player/tools/TBookmarkDlg.h"
#include "player/units/Bookmarkfile.h"
#include "window_test_util.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTreeWidget>

#include <deque>

using namespace mwtest;

namespace {

constexpr REFERENCE_TIME kSecond = 10000000;

class BookmarkEditor : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        MW_REQUIRE_FIXTURES();
        dialogs::SetMessageBoxAnswerer([this](const dialogs::MessageBoxCall& call) {
            messageBoxes << call.caption + ": " + call.text;
            return (call.flags & 0x0F) == MB_YESNO ? IDYES : IDOK;
        });
        dialogs::SetInputQueryAnswerer([this](const dialogs::InputQueryCall& call) -> std::optional<QString> {
            prompts << call.caption + ": " + call.prompt + " [" + call.value + "]";
            if (notes.empty()) return std::nullopt;
            const QString note = notes.front();
            notes.pop_front();
            return note;
        });
    }
    void TearDown() override
    {
        dialogs::SetInputQueryAnswerer({});
        WindowTest::TearDown();
    }
    QString StorePath() const { return GetListFilesFolder() + QStringLiteral("Bookmarks.bmk"); }
    TBookmarkDlg* Editor() const { return qobject_cast<TBookmarkDlg*>(w->BookmarkWindow.data()); }
    QStringList Rows() const
    {
        QStringList rows;
        QTreeWidget* list = Editor()->ListBkmrk();
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = list->topLevelItem(i);
            rows << item->text(0) + "|" + item->text(1) + "|" + item->text(2);
        }
        return rows;
    }
    void Select(int row) const
    {
        QTreeWidget* list = Editor()->ListBkmrk();
        list->setCurrentItem(list->topLevelItem(row));
    }
    void Act(const char* name) const { Editor()->findChild<QAction*>(QString::fromLatin1(name))->trigger(); }

    std::deque<QString> notes;
    QStringList prompts;
};

TEST_F(BookmarkEditor, NotesRowsSectionsAndTheTitleListOverTheStore)
{
    const QString clip = SilentClip("clips/marks.wav", 8000);
    const QByteArray header = bookmarks::BlockHeader(clip, GetFileDosDateTime(clip));
    ASSERT_TRUE(MakeDir(GetListFilesFolder()));
    {
        QFile store(StorePath());
        ASSERT_TRUE(store.open(QIODevice::WriteOnly));
        store.write(header + "\n4\n0:00:01/100\nIntro/300\n<s1>100/200\n<s2>400/500\n"
                    "/other.wav/123\n1\n0:00:02/200\n");
    }
    Open({clip});
    ASSERT_TRUE(WaitPlaying());
    ui()->miShowBkmrkDlg->trigger();
    ASSERT_TRUE(Editor());
    EXPECT_EQ(Editor()->windowTitle(), "ブックマーク");
    EXPECT_FALSE(ui()->MiBookMrk->isEnabled());
    EXPECT_EQ(Rows(), QStringList({"1|0:00:01|", "2|0:00:03|Intro"}));

    // A note is cut to 30 bytes at a character and never starts a header;
    // an empty one gives the bookmark its time back.
    notes = {QStringLiteral("/あいうえおかきくけこさし"), QString()};
    Select(0);
    Act("InputNotes");
    Select(1);
    Act("InputNotes");
    EXPECT_EQ(prompts, QStringList({"ブックマーク: 備考を入力してください。(半角で30文字まで) []",
                                    "ブックマーク: 備考を入力してください。(半角で30文字まで) [Intro]"}));
    EXPECT_EQ(Rows(), QStringList({"1|0:00:01|あいうえおかきくけ", "2|0:00:03|"}));
    std::optional<bookmarks::TBlock> block = bookmarks::CBookmarkFile(StorePath()).Load(header);
    ASSERT_TRUE(block);
    ASSERT_EQ(block->Bookmarks.size(), 2u);
    EXPECT_EQ(block->Bookmarks[0].Caption, QStringLiteral("あいうえおかきくけ"));
    EXPECT_EQ(block->Bookmarks[1].Caption, "0:00:03");

    // A bookmark at the position, in time order; then the first row goes.
    ASSERT_TRUE(SUCCEEDED(w->SeekTo(5 * kSecond)));
    ASSERT_TRUE(testutil::WaitUntil([&] {
        REFERENCE_TIME p = 0;
        w->Graph()->GetCurrentPosition(&p);
        return p >= 5 * kSecond;
    }));
    Act("ActMakeBkmrk");
    ASSERT_EQ(Rows().size(), 3);
    EXPECT_TRUE(Rows()[2].startsWith("3|0:00:05|")) << Rows()[2];
    Select(0);
    Act("ActDelete");
    EXPECT_EQ(Rows().size(), 2);
    EXPECT_EQ(Rows()[0], "1|0:00:03|");

    // Sections: deleting all of them keeps the bookmarks.
    Act("ShowRepeat");
    EXPECT_EQ(Rows(), QStringList({"1|0:00:01-0:00:02|s1", "2|0:00:04-0:00:05|s2"}));
    Act("ActDeleteAll");
    EXPECT_TRUE(Rows().isEmpty());
    block = bookmarks::CBookmarkFile(StorePath()).Load(header);
    ASSERT_TRUE(block);
    EXPECT_TRUE(block->Sections.empty());
    EXPECT_EQ(block->Bookmarks.size(), 2u);

    // The title list: every file with a block; another file's block goes.
    Act("miTitle");
    EXPECT_EQ(Rows(), QStringList({"marks.wav||", "other.wav||"}));
    Select(1);
    Act("ActDelete");
    EXPECT_EQ(Rows(), QStringList({"marks.wav||"}));
    const QByteArray stored = testutil::ReadFile(StorePath());
    EXPECT_FALSE(stored.contains("/other.wav/"));
    EXPECT_TRUE(stored.contains(header));

    EXPECT_EQ(messageBoxes, QStringList({"確認: 削除してよろしいですか？", "確認: すべて削除してよろしいですか？",
                                         "確認: 削除してよろしいですか？"}));

    // Stay on top, off and on again: the editor follows its item and an open
    // capture window is put back on top each time.
    w->MiCaptureClick();
    ASSERT_TRUE(w->CaptureWindow);
    QWidget* capture = w->CaptureWindow;
    auto onTop = [](const QWidget* window) { return window->windowFlags().testFlag(Qt::WindowStaysOnTopHint); };
    QAction* stayOnTop = Editor()->findChild<QAction*>("N7");
    for (bool checked : {false, true}) {
        capture->setWindowFlag(Qt::WindowStaysOnTopHint, false);
        capture->show();
        stayOnTop->trigger();
        EXPECT_EQ(stayOnTop->isChecked(), checked);
        EXPECT_EQ(onTop(Editor()), checked);
        EXPECT_TRUE(onTop(capture));
        EXPECT_TRUE(capture->isVisible());
    }
    capture->close();
    ASSERT_TRUE(testutil::WaitUntil([&] { return !w->CaptureWindow; }));

    // Closing posts the notice; the main window frees the editor, gives the
    // menus back and the place is kept.
    Editor()->move(150, 130);
    Editor()->close();
    ASSERT_TRUE(testutil::WaitUntil([&] { return !w->BookmarkWindow; }));
    EXPECT_TRUE(ui()->MiBookMrk->isEnabled());
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, kBookmarkKey, KEY_READ);
    ASSERT_TRUE(key);
    EXPECT_TRUE(RegReadBool(key.get(), "StayOnTop", false));
    EXPECT_EQ(RegReadDword(key.get(), "Height", 0) > 0, true);
}

}  // namespace

namespace {

class DvdBookmarkEditor : public BookmarkEditor {
protected:
    QStringList Files() const { return QDir(folder).entryList(QDir::Files, QDir::Name); }
    void Touch(const QString& name) const
    {
        QFile file(folder + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QString folder;
};

TEST_F(DvdBookmarkEditor, NotesRenameTheFilesSectionsComeFromRepeatRsmAndDeleteAllKeepsIt)
{
    Open();
    auto builder = std::make_unique<FakeDvdBuilder>();
    FakeDvdBuilder* fake = builder.get();
    w->SetDvdPipelineBuilder(std::move(builder));
    w->StartDvd();
    ASSERT_TRUE(w->DvdControl() && fake->navigator);
    fake->navigator->location.title = 1;
    folder = w->DvdDiscFolder();
    ASSERT_FALSE(folder.isEmpty());
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const char* name : {"T01P000010N.bmk", "T01P000020N.bmk", "T01P000020Nscene.bmk", "T01P000030Nother.bmk"})
        Touch(QString::fromLatin1(name));
    {
        QFile repeat(folder + "Repeat.rsm");
        ASSERT_TRUE(repeat.open(QIODevice::WriteOnly));
        repeat.write("1/first/10/20\n2/second/5/6\n1/third/30/40\n");
    }
    w->LoadDvdSections();
    // Closing the editor builds the disc's bookmark menu again from its folder.
    ui()->miShowBkmrkDlg->trigger();
    ASSERT_TRUE(Editor());
    Editor()->close();
    ASSERT_TRUE(testutil::WaitUntil([&] { return !w->BookmarkWindow; }));
    ui()->miShowBkmrkDlg->trigger();
    ASSERT_TRUE(Editor());
    EXPECT_EQ(Rows(), QStringList({"01|00:00:10|", "01|00:00:20|", "01|00:00:20|scene", "01|00:00:30|other"}));

    // The note is part of the file's name: no "/", and no second file of one name.
    notes = {"a/b", "scene", "intro"};
    Select(1);
    Act("InputNotes");
    Act("InputNotes");
    Select(0);
    Act("InputNotes");
    EXPECT_EQ(messageBoxes.mid(0, 2),
              QStringList({"情報: \"/\" は使えません。",
                           "情報: 同じポジションのブックマークがあるため備考を変更できません。\n"
                           "どちらかを削除するか、違った備考にしてください。"}));
    EXPECT_EQ(Rows()[0], "01|00:00:10|intro");
    Select(3);
    Act("ActDelete");
    EXPECT_EQ(Files(), QStringList({"Repeat.rsm", "T01P000010Nintro.bmk", "T01P000020N.bmk", "T01P000020Nscene.bmk"}));

    // The current title's sections; one deleted, the other titles' lines stay.
    Act("ShowRepeat");
    EXPECT_EQ(Rows(), QStringList({"1|0:00:10-0:00:20|first", "2|0:00:30-0:00:40|third"}));
    Select(0);
    Act("ActDelete");
    EXPECT_EQ(Rows(), QStringList({"1|0:00:30-0:00:40|third"}));
    EXPECT_EQ(testutil::ReadFile(folder + "Repeat.rsm"), "2/second/5/6\n1/third/30/40\n");

    // All bookmarks go, "Repeat.rsm" stays.
    Act("ShowBmk");
    Act("ActDeleteAll");
    EXPECT_TRUE(Rows().isEmpty());
    EXPECT_EQ(Files(), QStringList({"Repeat.rsm"}));
}

}  // namespace

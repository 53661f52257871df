// The list editor as the user meets it: called up with F3 and from the
// library buttons' pop-up, fed with the playing list, files dropped from a
// file manager and the library file, sorted by its column heads, reordered
// with keys and by dragging rows, renamed in place, saved, handed to the
// player, and closed with its question answered each way.
#include "window_test_util.h"

#include "platform/dialogs/dialogs.h"
#include "platform/dialogs/filedialogs.h"
#include "player/tools/LibraryFile.h"
#include "player/tools/ListEditModel.h"
#include "player/tools/TListEditForm.h"
#include "player/units/Shortcuts.h"
#include "ui_TListEditForm.h"

#include <QApplication>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QTest>
#include <QUrl>

using namespace mwtest;

namespace {

class ListEditWindow : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        dialogs::SetMessageBoxAnswerer([this](const dialogs::MessageBoxCall& call) {
            messageBoxes << call.caption + ": " + call.text;
            const int answer = answers.isEmpty() ? IDOK : answers.takeFirst();
            return answer;
        });
        dialogs::SetFileDialogAnswerer([this](const dialogs::FileDialogCall& call) {
            dialogs::FileDialogResult result;
            if (call.onTypeChange) typeChangeGives = call.onTypeChange(2);
            if (savePath.isEmpty()) return result;
            result.accepted = true;
            result.paths = {savePath};
            return result;
        });
    }
    void TearDown() override
    {
        dialogs::SetFileDialogAnswerer({});
        WindowTest::TearDown();
    }

    static TListEditForm* Editor(const QPointer<QWidget>& field) { return qobject_cast<TListEditForm*>(field.data()); }
    static TListEditView* Table(TListEditForm* e) { return e->Form()->ListViewForEdit; }
    static QStringList Column(TListEditForm* e, int column)
    {
        QStringList out;
        const QAbstractItemModel* m = Table(e)->model();
        for (int r = 0; r < m->rowCount(); ++r) out << m->index(r, column).data().toString();
        return out;
    }
    static QString Head(TListEditForm* e, int column)
    {
        return Table(e)->model()->headerData(column, Qt::Horizontal).toString();
    }
    static void Key(TListEditForm* e, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QWidget* focus = QApplication::focusWidget();
        QWidget* target = focus && focus->window() == e ? focus : Table(e);
        QTest::keyClick(target, key, mods);
    }
    static QPoint RowCentre(TListEditForm* e, int row)
    {
        return Table(e)->visualRect(Table(e)->model()->index(row, 0)).center();
    }
    static void Mouse(TListEditForm* e, QEvent::Type type, const QPoint& pos, Qt::MouseButtons held)
    {
        QWidget* viewport = Table(e)->viewport();
        QMouseEvent event(type, pos, viewport->mapToGlobal(pos), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          held, Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    }
    static void ClickRow(TListEditForm* e, int row, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::mouseClick(Table(e)->viewport(), Qt::LeftButton, mods, RowCentre(e, row));
    }
    // Drags the selection from row `from` to `to` (viewport point) as a hand does.
    static void Drag(TListEditForm* e, int from, const QPoint& to, QStringList* captions = nullptr)
    {
        const QPoint start = RowCentre(e, from);
        Mouse(e, QEvent::MouseButtonPress, start, Qt::LeftButton);
        Mouse(e, QEvent::MouseMove, start + QPoint(0, 4), Qt::LeftButton);   // under the threshold
        Mouse(e, QEvent::MouseMove, start + QPoint(0, 12), Qt::LeftButton);
        Mouse(e, QEvent::MouseMove, to, Qt::LeftButton);
        if (captions) *captions << e->windowTitle();
        Mouse(e, QEvent::MouseButtonRelease, to, Qt::NoButton);
    }
    bool Freed(const QPointer<QWidget>& field)
    {
        return testutil::WaitUntil([&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return field.isNull();
        });
    }
    static QStringList Lines(const QString& path)
    {
        return QString::fromUtf8(testutil::ReadFile(path)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QList<int> answers;          // message box answers in turn; OK when none is left
    QString savePath;            // the save dialog's choice; empty: cancelled
    QString typeChangeGives;
};

TEST_F(ListEditWindow, PlayingListIsEditedSortedDraggedSavedAndHandedBack)
{
    MW_REQUIRE_FIXTURES();
    const QString a = Sound("m/a.wav");
    const QString b = Sound("m/b.wav");
    const QString c = Sound("m/c.wav");
    const QString gone = Home("m/gone.wav");
    const QString list = Home("m/mix.m3u");
    ASSERT_TRUE(testutil::WriteFile(list, "#EXTM3U\nb.wav\nc.wav\n" + gone.toUtf8() + "\na.wav\n"));
    Open({list});
    ASSERT_TRUE(WaitPlaying());

    Tap(Qt::Key_F3);
    TListEditForm* e = Editor(w->ListEditWindow);
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(e->isVisible());
    EXPECT_EQ(e->windowTitle(), "リスト編集");
    EXPECT_EQ(e->LblFontSize()->text(), "0/0");

    // Ctrl+I takes the playing list, missing entry included.
    Key(e, Qt::Key_I, Qt::ControlModifier);
    EXPECT_EQ(e->windowTitle(), "リスト編集 - mix.m3u");
    EXPECT_EQ(Column(e, 3), QStringList({b, c, gone, a}));
    EXPECT_EQ(Column(e, 0), QStringList({"b", "c", "gone", "a"}));
    EXPECT_FALSE(e->Modified());

    // Column heads sort and tell the direction.
    QHeaderView* header = Table(e)->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(0) + 5, 5));
    EXPECT_EQ(Head(e, 0), "タイトル▽");
    EXPECT_EQ(Column(e, 0), QStringList({"a", "b", "c", "gone"}));
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(0) + 5, 5));
    EXPECT_EQ(Head(e, 0), "タイトル△");
    EXPECT_EQ(Column(e, 0), QStringList({"gone", "c", "b", "a"}));
    EXPECT_TRUE(e->Modified());

    // Ctrl+Down moves the selection; at the end it stays.
    ClickRow(e, 0);
    EXPECT_EQ(e->LblFontSize()->text(), "1/4");
    Key(e, Qt::Key_Down, Qt::ControlModifier);
    Key(e, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(Column(e, 0), QStringList({"c", "b", "gone", "a"}));
    EXPECT_EQ(e->LblFontSize()->text(), "3/4");
    Key(e, Qt::Key_Down, Qt::ControlModifier);
    Key(e, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(Column(e, 0), QStringList({"c", "b", "a", "gone"}));

    // Dragging: two rows after a later one; then one to the top over the head.
    ClickRow(e, 0);
    ClickRow(e, 1, Qt::ControlModifier);
    Drag(e, 0, RowCentre(e, 2));
    EXPECT_EQ(Column(e, 0), QStringList({"a", "c", "b", "gone"}));
    EXPECT_EQ(e->LblFontSize()->text(), "2/4");
    QStringList captions;
    ClickRow(e, 3);
    Drag(e, 3, QPoint(5, -Table(e)->header()->height() / 2), &captions);
    EXPECT_EQ(captions, QStringList({"リスト編集 先頭に挿入"}));
    EXPECT_EQ(Column(e, 0), QStringList({"gone", "a", "c", "b"}));
    EXPECT_EQ(e->windowTitle(), "リスト編集 - mix.m3u");
    EXPECT_FALSE(e->Timer()->isActive());
    // A press that moves less than the threshold drags nothing.
    Drag(e, 1, RowCentre(e, 1) + QPoint(0, 3));
    EXPECT_EQ(Column(e, 0), QStringList({"gone", "a", "c", "b"}));

    // Ctrl+S writes one path a line over the list that was opened.
    Key(e, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(Lines(list), QStringList({gone, a, c, b}));
    EXPECT_FALSE(e->Modified());

    // Ctrl+P hands the rows that exist to the player, which plays the first.
    Key(e, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(Paths(), QStringList({a, c, b}));
    EXPECT_EQ(w->OpenedPath(), list);
    ASSERT_TRUE(WaitPlaying());
    EXPECT_EQ(w->ListIndex(), 0);

    // A changed list asks on closing: Cancel keeps it; No lets it go.
    Key(e, Qt::Key_Up, Qt::ControlModifier);
    ASSERT_TRUE(e->Modified());
    const int notices = Taken(WM_TOOLNOTIFY);
    answers = {IDCANCEL};
    Key(e, Qt::Key_Escape);
    Spin();
    EXPECT_TRUE(e->isVisible());
    EXPECT_EQ(Editor(w->ListEditWindow), e);
    EXPECT_EQ(messageBoxes.last(), "確認: 変更を保存しますか?");
    answers = {IDNO};
    e->close();
    ASSERT_TRUE(Freed(w->ListEditWindow));
    EXPECT_EQ(Taken(WM_TOOLNOTIFY), notices + 1);
    EXPECT_EQ(Lines(list), QStringList({gone, a, c, b}));   // No wrote nothing
}

TEST_F(ListEditWindow, DroppedFilesMakeANewListThatOnlyASaveLetsGo)
{
    const QString a = Home("d/one.ogg");
    const QString b = Home("d/two.mp3");
    ASSERT_TRUE(testutil::WriteFile(a, "x"));
    ASSERT_TRUE(testutil::WriteFile(b, "x"));
    ASSERT_TRUE(Link(a, Home("d/link.ogg")));
    ASSERT_TRUE(MakeDir(Home("d/folder")));
    Open();
    ui()->miShowEditList->trigger();
    TListEditForm* e = Editor(w->ListEditWindow);
    ASSERT_NE(e, nullptr);

    // As a file manager drops them: files, a link, and a folder (no row in a play list).
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b), QUrl::fromLocalFile(Home("d/link.ogg")),
                  QUrl::fromLocalFile(Home("d/folder"))});
    const QPoint at = e->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(e, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(e, &drop);
    EXPECT_EQ(Column(e, 3), QStringList({a, b, a}));
    EXPECT_EQ(Column(e, 1), QStringList({"ogg", "mp3", "ogg"}));
    // "重複アイテムを削除" takes the link's second row away again.
    e->Form()->N3->trigger();
    EXPECT_EQ(Column(e, 3), QStringList({a, b}));
    EXPECT_EQ(messageBoxes.last(), "情報: 1個の重複アイテムを削除しました。");
    ASSERT_TRUE(e->Modified());

    // Yes with the save dialog cancelled, and with a save that fails: the
    // window stays and keeps its rows.
    answers = {IDYES};
    e->close();
    Spin();
    EXPECT_EQ(Editor(w->ListEditWindow), e);
    EXPECT_EQ(typeChangeGives, "m3u");
    savePath = Home("no/such/folder/new.zol");
    answers = {IDYES};
    messageBoxes.clear();
    e->close();
    Spin();
    EXPECT_EQ(Editor(w->ListEditWindow), e);
    EXPECT_EQ(messageBoxes, QStringList({"確認: 変更を保存しますか?", "情報: 保存できませんでした。"}));
    EXPECT_TRUE(e->Modified());

    // Yes with a name: saved, closed, and the placement is kept.
    savePath = Home("d/new.zol");
    answers = {IDYES};
    e->close();
    ASSERT_TRUE(Freed(w->ListEditWindow));
    EXPECT_EQ(Lines(savePath), QStringList({a, b}));
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, "Software\\Bruvo\\ZoDVD\\ListEditer", KEY_READ);
    ASSERT_TRUE(key);
    EXPECT_EQ(RegReadDword(key.get(), "TitleWidth", 0), 130u);
    EXPECT_TRUE(RegReadBool(key.get(), "Grid", false));
}

TEST_F(ListEditWindow, LibraryEditorRenamesWithTheOtherCommandsLockedAndSavesTheLibrary)
{
    const QString song = Home("l/song.ogg");
    const QString mix = Home("l/mix.zol");
    ASSERT_TRUE(testutil::WriteFile(song, "x"));
    ASSERT_TRUE(testutil::WriteFile(mix, song.toUtf8() + "\n"));
    const TLibraryFile library(Home("data/ListFiles/Library.zorf"));
    ASSERT_TRUE(library.Rewrite({{"Song", song}, {"Mix", mix}, {"Gone", Home("l/gone.ogg")}}));
    Open();

    // The library button's pop-up: "ライブラリの編集".
    ui()->N24->trigger();
    TListEditForm* e = Editor(w->LibraryEditWindow);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->Mode(), 1);
    EXPECT_EQ(e->windowTitle(), "ライブラリ");
    EXPECT_EQ(Column(e, 0), QStringList({"Song", "Mix", "Gone"}));
    EXPECT_EQ(Column(e, 1), QStringList({"ogg", "zol", ""}));
    EXPECT_FALSE(e->Form()->AcToPlayList->isVisible());
    EXPECT_EQ(ItemCaption(e->Form()->AcEditList), "再生中のリストを追加");

    // While a title is edited, Ctrl+S, Ctrl+A and Delete do not act on the list.
    ClickRow(e, 0);
    Key(e, Qt::Key_R, Qt::ControlModifier);
    ASSERT_TRUE(e->Editing());
    auto* edit = Table(e)->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    const QByteArray before = testutil::ReadFile(library.Path());
    for (const auto& [key, mods] : std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>>{
             {Qt::Key_S, Qt::ControlModifier}, {Qt::Key_A, Qt::ControlModifier}, {Qt::Key_Delete, Qt::NoModifier}})
        QTest::keyClick(edit, key, mods);
    EXPECT_EQ(testutil::ReadFile(library.Path()), before);
    EXPECT_EQ(Column(e, 0).size(), 3);
    edit->setText("Renamed");
    QTest::keyClick(edit, Qt::Key_Return);
    Spin();   // the table takes the text once the key is handled
    EXPECT_FALSE(e->Editing());
    EXPECT_TRUE(e->Form()->AcSaveList->isEnabled());
    EXPECT_EQ(Column(e, 0).front(), "Renamed");
    ASSERT_TRUE(e->Modified());

    // "リスト編集" of the pop-up opens a selected list in the play-list editor.
    ClickRow(e, 1);
    e->Form()->MiEditList->trigger();
    TListEditForm* lists = Editor(w->ListEditWindow);
    ASSERT_NE(lists, nullptr);
    EXPECT_EQ(Column(lists, 3), QStringList({song}));
    EXPECT_EQ(lists->ListPath(), mix);

    // Closing with Yes writes the library, which the library window reads.
    answers = {IDYES};
    e->close();
    ASSERT_TRUE(Freed(w->LibraryEditWindow));
    const std::vector<TLibraryEntry> back = library.Read();
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0], (TLibraryEntry{"Renamed", song}));
    lists->close();
    ASSERT_TRUE(Freed(w->ListEditWindow));

    // The folder library's editor: "フォルダを追加" picks a folder, which
    // becomes a row named after it and, saved, a line of FolderLib.zorf.
    ASSERT_TRUE(MakeDir(Home("l/Albums")));
    ui()->MiShowLibrary->trigger();
    TListEditForm* folders = Editor(w->LibraryEditWindow);
    ASSERT_NE(folders, nullptr);
    EXPECT_EQ(folders->Mode(), 2);
    EXPECT_EQ(ItemCaption(folders->Form()->AcOpenFile), "フォルダを追加");
    EXPECT_FALSE(folders->Form()->AcEditList->isVisible());
    savePath = Home("l/Albums");
    Key(folders, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Column(folders, 0), QStringList({"Albums"}));
    EXPECT_EQ(Column(folders, 1), QStringList({"フォルダ"}));
    Key(folders, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(TLibraryFile(Home("data/ListFiles/FolderLib.zorf")).Read(),
              std::vector<TLibraryEntry>({{"Albums", Home("l/Albums")}}));
    folders->close();
    ASSERT_TRUE(Freed(w->LibraryEditWindow));
}

}  // namespace

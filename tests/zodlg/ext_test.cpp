// The file-types dialog and the Extension value it keeps.
#include "dialog_test_util.h"
#include "support/test_util.h"
#include "zodlg/ExtDlg.h"

#include "common/Extlist.h"
#include "common/Reghelp.h"

#include <QLineEdit>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

QStringList Items(QWidget* d)
{
    QStringList items;
    auto* list = Find<QTreeWidget>(d, 6010);
    for (int i = 0; i < list->topLevelItemCount(); ++i) items << list->topLevelItem(i)->text(0);
    return items;
}

std::string StoredExtension()
{
    std::string bytes = Stored(HKEY_CURRENT_USER, kMainKey, "Extension").bytes;
    return bytes.substr(0, bytes.find('\0'));
}

TEST(ExtensionPatterns, PiecesLoseStarAndDot)
{
    EXPECT_EQ(ExtensionsOfPatterns("avi;*.mpg;;*.;*;.mp3;*.tar.gz"),
              QStringList({"avi", "mpg", "mp3", "tar.gz"}));
    EXPECT_EQ(ExtensionsOfPatterns(QString::fromLatin1(kDefaultExtensionList)).size(), 33);
    EXPECT_EQ(PatternsOfExtensions({"avi", "mp3"}), "*.avi;*.mp3;");
    EXPECT_EQ(ExtensionTypeName("rmvb"), "RealMedia");
    EXPECT_EQ(ExtensionTypeName("cda"), "CD オーディオ");
    EXPECT_EQ(ExtensionTypeName("xyz"), "");
}

class ExtDlg : public ::testing::Test {
protected:
    testutil::IsolatedHome home;
    void TearDown() override { CancelWaits(); }
    MessageBoxes boxes;
};

TEST_F(ExtDlg, EditsAreSortedCheckedAndWritten)
{
    SetText(HKEY_CURRENT_USER, kMainKey, "Extension", "*.mpg;*.AVI;*.mp3");
    WhenShown("CExtDlg", [&](QWidget* d) {
        EXPECT_EQ(d->windowTitle(), "表示ファイル設定");
        EXPECT_EQ(Items(d), QStringList({"AVI", "mp3", "mpg"}));
        auto* list = Find<QTreeWidget>(d, 6010);
        EXPECT_EQ(list->columnWidth(0), 83);
        list->setCurrentItem(list->topLevelItem(1));
        EXPECT_EQ(Find<QLineEdit>(d, 6090)->text(), "MP3 オーディオ");

        auto* edit = Find<QLineEdit>(d, 6004);
        edit->setFocus();
        edit->insert("X");   // typed text, as a key press gives it
        emit edit->textEdited(edit->text());
        EXPECT_EQ(edit->text(), "x");
        edit->setText("ogg");
        Click(d, 6003);
        edit->setText("mp-3");
        Click(d, 6003);
        edit->setText("avi");
        Click(d, 6003);
        EXPECT_EQ(Items(d), QStringList({"AVI", "mp3", "mpg", "ogg"}));
        ASSERT_EQ(boxes.calls.size(), 2u);
        EXPECT_EQ(boxes.calls[0].text, "文字が不正です。\nアルファベットか、数字を入力してください。");
        EXPECT_EQ(boxes.calls[1].text, "すでに登録済みです。");
        EXPECT_EQ(boxes.calls[1].caption, "Zoravel");
        EXPECT_EQ(edit->text(), "");

        list->clearSelection();
        list->topLevelItem(2)->setSelected(true);
        list->topLevelItem(0)->setSelected(true);
        Click(d, 6006);
        EXPECT_EQ(Items(d), QStringList({"mp3", "ogg"}));
        Click(d, 1);
    });
    EXPECT_TRUE(RunExtDlg());
    EXPECT_EQ(StoredExtension(), "*.mp3;*.ogg;");

    // Cancel writes nothing; 戻す restores what was read at start.
    WhenShown("CExtDlg", [](QWidget* d) {
        Click(d, 6008);
        EXPECT_EQ(Items(d).size(), 33);
        EXPECT_EQ(Find<QTreeWidget>(d, 6010)->columnWidth(0), 66);
        Click(d, 6007);
        EXPECT_EQ(Items(d), QStringList({"mp3", "ogg"}));
        Click(d, 2);
    });
    EXPECT_FALSE(RunExtDlg());
    EXPECT_EQ(StoredExtension(), "*.mp3;*.ogg;");

    // An empty list is written empty and read as the default next time,
    // whose 33 patterns OK writes each followed by ";".
    WhenShown("CExtDlg", [](QWidget* d) {
        Find<QTreeWidget>(d, 6010)->selectAll();
        Click(d, 6006);
        Click(d, 1);
    });
    EXPECT_TRUE(RunExtDlg());
    EXPECT_EQ(StoredExtension(), "");
    WhenShown("CExtDlg", [](QWidget* d) {
        EXPECT_EQ(Items(d).size(), 33);
        Click(d, 1);
    });
    EXPECT_TRUE(RunExtDlg());
    // In list order, which is sorted.
    const QString stored = QString::fromStdString(StoredExtension());
    EXPECT_EQ(ExtensionsOfPatterns(stored).size(), 33);
    EXPECT_TRUE(stored.startsWith("*.aif;*.aiff;*.asf;")) << stored.toStdString();
    EXPECT_TRUE(stored.endsWith(";*.zol;")) << stored.toStdString();
}

}  // namespace

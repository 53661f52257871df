// The folder chooser of the folder search: its tree, its start folder, the
// codes of its two boxes and the rule for the caller's buffer.
#include "dialog_test_util.h"
#include "support/test_util.h"
#include "zodlg/FolderBrowse.h"
#include "zodlg/zodlg.h"

#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

QString FolderOf(const QTreeWidgetItem* item) { return item ? item->data(0, Qt::UserRole).toString() : QString(); }

QStringList Children(QTreeWidgetItem* item)
{
    item->setExpanded(true);
    QStringList names;
    for (int i = 0; i < item->childCount(); ++i) names << item->child(i)->text(0);
    return names;
}

// Answers the chooser that opens: the boxes as given, then OK.
void AnswerWith(bool subFolders, bool followSettings)
{
    WhenShown("CFolderBrowse", [=](QWidget* d) {
        Find<QCheckBox>(d, 1005)->setChecked(subFolders);
        Find<QCheckBox>(d, 1006)->setChecked(followSettings);
        Click(d, 1);
    });
}

class FolderBrowse : public ::testing::Test {
protected:
    testutil::IsolatedHome home;
    QByteArray savedHome = qgetenv("HOME");
    void SetUp() override
    {
        qputenv("HOME", home.Path().toUtf8());
        for (const char* folder : {"b", "a/deep", "A2", ".hidden/inner"}) ASSERT_TRUE(QDir(home.Path()).mkpath(folder));
    }
    void TearDown() override
    {
        CancelWaits();
        qputenv("HOME", savedHome);
    }
    QString Home(const QString& relative = {}) const
    {
        return QDir::cleanPath(relative.isEmpty() ? QDir::homePath() : QDir::homePath() + '/' + relative);
    }
    std::string buffer = std::string(ZODLG_FOLDER_BUFFER_SIZE, '\0');
    void Start(const QString& folder)
    {
        buffer.assign(ZODLG_FOLDER_BUFFER_SIZE, '\0');
        const QByteArray bytes = folder.toUtf8();
        std::memcpy(buffer.data(), bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    QString Answer() const { return QString::fromUtf8(buffer.c_str()); }
};

TEST_F(FolderBrowse, TreeOfVisibleFoldersFromHomeWithTheRootAbove)
{
    Start(Home("a/deep"));
    WhenShown("CFolderBrowse", [&](QWidget* d) {
        EXPECT_EQ(d->windowTitle(), "フォルダの検索");
        auto* tree = d->findChild<QTreeWidget*>();
        ASSERT_EQ(tree->topLevelItemCount(), 2);
        EXPECT_EQ(FolderOf(tree->topLevelItem(0)), "/");
        QTreeWidgetItem* homeItem = tree->topLevelItem(1);
        EXPECT_EQ(FolderOf(homeItem), Home());
        EXPECT_TRUE(homeItem->isExpanded());
        // Folders only, by name without regard to case, hidden ones left out.
        EXPECT_EQ(Children(homeItem), QStringList({"a", "A2", "b"}));
        EXPECT_EQ(FolderOf(tree->currentItem()), Home("a/deep"));
        tree->setCurrentItem(homeItem->child(2));
        Click(d, 1);
    });
    // Both boxes start checked.
    EXPECT_EQ(RunFolderBrowse(buffer.data()), 0);
    EXPECT_EQ(Answer(), Home("b"));

    // The start folder: a hidden one is shown to be selected; a missing one,
    // or none, starts at home; one outside home is found under "/".
    const struct {
        QString start, selected;
    } starts[] = {{Home(".hidden/inner"), Home(".hidden/inner")},
                  {Home("missing"), Home()},
                  {QString(), Home()},
                  {QStringLiteral("/"), QStringLiteral("/")}};
    for (const auto& start : starts) {
        Start(start.start);
        QString selected;
        WhenShown("CFolderBrowse", [&](QWidget* d) {
            selected = FolderOf(d->findChild<QTreeWidget*>()->currentItem());
            Click(d, 1);
        });
        EXPECT_EQ(RunFolderBrowse(buffer.data()), 0);
        EXPECT_EQ(selected, start.selected) << start.start.toStdString();
        EXPECT_EQ(Answer(), start.selected);
    }
}

TEST_F(FolderBrowse, CodesOfTheBoxesAndEveryEndWithoutAFolder)
{
    const struct {
        bool subFolders, followSettings;
        int code;
    } cases[] = {{true, true, 0}, {true, false, 1}, {false, true, 2}, {false, false, 3}};
    for (const auto& c : cases) {
        Start(Home("a"));
        AnswerWith(c.subFolders, c.followSettings);
        EXPECT_EQ(RunFolderBrowse(buffer.data()), c.code);
        EXPECT_EQ(Answer(), Home("a"));
    }

    // キャンセル, Escape and no selection leave the buffer as it was.
    Start(Home("a"));
    WhenShown("CFolderBrowse", [](QWidget* d) { Click(d, 2); });
    EXPECT_EQ(RunFolderBrowse(buffer.data()), -1);
    WhenShown("CFolderBrowse", [](QWidget* d) { qobject_cast<QDialog*>(d)->reject(); });
    EXPECT_EQ(RunFolderBrowse(buffer.data()), -1);
    WhenShown("CFolderBrowse", [](QWidget* d) {
        d->findChild<QTreeWidget*>()->setCurrentItem(nullptr);
        Click(d, 1);
    });
    EXPECT_EQ(RunFolderBrowse(buffer.data()), -1);
    EXPECT_EQ(Answer(), Home("a"));
    EXPECT_EQ(RunFolderBrowse(nullptr), -1);
}

TEST_F(FolderBrowse, APathMustFitTheBufferWithItsZero)
{
    // Paths of 4095 and 4096 bytes, as items deep in a tree would hold them.
    for (const int size : {ZODLG_FOLDER_BUFFER_SIZE - 1, ZODLG_FOLDER_BUFFER_SIZE}) {
        const QString path = '/' + QString(size - 1, QChar('f'));
        Start(Home("a"));
        WhenShown("CFolderBrowse", [&](QWidget* d) {
            auto* tree = d->findChild<QTreeWidget*>();
            auto* item = new QTreeWidgetItem(tree->topLevelItem(0), {path.mid(1)});
            item->setData(0, Qt::UserRole, path);
            tree->setCurrentItem(item);
            Click(d, 1);
        });
        const bool fits = size < ZODLG_FOLDER_BUFFER_SIZE;
        EXPECT_EQ(RunFolderBrowse(buffer.data()), fits ? 0 : -1) << size;
        EXPECT_EQ(Answer(), fits ? path : Home("a")) << size;
    }
}

}  // namespace

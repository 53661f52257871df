// The parental-control dialogs, run as the export runs them.
#include "dialog_test_util.h"
#include "support/test_util.h"
#include "zodlg/Parental.h"

#include "common/Reghelp.h"
#include "common/scramble.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace {

// Chooses a position in a combo box as the user does, which reports it
// even when it is the position already shown.
void Choose(QWidget* dialog, int id, int position)
{
    auto* combo = Find<QComboBox>(dialog, id);
    combo->setCurrentIndex(position);
    emit combo->activated(position);
}

DWORD MainDword(const char* name) { return Stored(HKEY_CURRENT_USER, kMainKey, name).Dword(); }

TEST(ParentalLevels, TablesMapBothWays)
{
    // Each level shows at the last position whose level does not exceed it,
    // and a shown position stores the level of the table.
    const int expected[3][9] = {
        {0, 1, 1, 1, 2, 2, 3, 4, 4}, {0, 1, 1, 2, 3, 3, 4, 5, 5}, {0, 1, 2, 3, 4, 5, 6, 7, 8}};
    const int stored[3][9] = {{0, 1, 4, 6, 7}, {0, 1, 3, 4, 6, 7}, {0, 1, 2, 3, 4, 5, 6, 7, 8}};
    for (int country = 0; country < 3; ++country) {
        SCOPED_TRACE(country);
        const int positions = static_cast<int>(ParentalLevelNames(country).size());
        for (int level = 0; level <= 8; ++level)
            EXPECT_EQ(ParentalPositionOfLevel(country, level), expected[country][level]) << level;
        for (int position = 0; position < positions; ++position) {
            EXPECT_EQ(ParentalLevelOfPosition(country, position), stored[country][position]);
            EXPECT_EQ(ParentalPositionOfLevel(country, stored[country][position]), position);
        }
        EXPECT_EQ(ParentalPositionOfLevel(country, 9), 0);
        EXPECT_EQ(ParentalPositionOfLevel(country, -1), 0);
    }
    EXPECT_EQ(ParentalLevelNames(0)[2], "PG-12");
    EXPECT_EQ(ParentalLevelNames(1)[5], "NC-17");
    EXPECT_EQ(ParentalLevelNames(2)[8], "レベル 8");
}

class Parental : public ::testing::Test {
protected:
    testutil::IsolatedHome home;
    void TearDown() override { CancelWaits(); }
    MessageBoxes boxes;
    void StorePassword(const std::string& plain, bool protect)
    {
        SetBinary(HKEY_CURRENT_USER, kMainKey, "ParentalLockPassword", ScrambledPassword(plain));
        SetDword(HKEY_CURRENT_USER, kMainKey, "ProtectParentalCtrlDlg", protect);
    }
};

TEST_F(Parental, LevelsShowAndStoreByTheTables)
{
    SetDword(HKEY_CURRENT_USER, kMainKey, "UseParentalCtrl", 1);
    SetDword(HKEY_CURRENT_USER, kMainKey, "DVDPCCountry", 0);
    SetDword(HKEY_CURRENT_USER, kMainKey, "ParentalLevel", 5);
    // Level 5 shows as "PG-12"; choosing "PG-12" again stores its level 4.
    WhenShown("CParental", [](QWidget* d) {
        EXPECT_EQ(d->windowTitle(), "ペアレンタルコントロール");
        EXPECT_EQ(Find<QComboBox>(d, 6022)->currentText(), "PG-12");
        EXPECT_FALSE(Find<QCheckBox>(d, 6000)->isEnabled());   // no password
        Choose(d, 6022, 2);
        Click(d, 1);
    });
    RunParentalCtlDlg();
    EXPECT_EQ(MainDword("ParentalLevel"), 4u);
    EXPECT_EQ(MainDword("UseParentalCtrl"), 1u);
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, kMainKey, "ParentalLockPassword").bytes, std::string(1, '\0'));
    EXPECT_EQ(MainDword("UsePasswordToUnlock"), 0u);
    EXPECT_EQ(MainDword("ProtectParentalCtrlDlg"), 0u);

    // A country change keeps the level and shows it by the new table; Cancel
    // writes nothing.
    SetDword(HKEY_CURRENT_USER, kMainKey, "DVDPCCountry", 2);
    SetDword(HKEY_CURRENT_USER, kMainKey, "ParentalLevel", 8);
    WhenShown("CParental", [](QWidget* d) {
        EXPECT_EQ(Find<QComboBox>(d, 6022)->currentText(), "レベル 8");
        Find<QComboBox>(d, 6028)->setCurrentIndex(0);
        EXPECT_EQ(Find<QComboBox>(d, 6022)->currentText(), "R-18");
        Click(d, 2);
    });
    RunParentalCtlDlg();
    EXPECT_EQ(MainDword("DVDPCCountry"), 2u);
    WhenShown("CParental", [](QWidget* d) {
        Find<QComboBox>(d, 6028)->setCurrentIndex(1);
        EXPECT_EQ(Find<QComboBox>(d, 6022)->currentText(), "NC-17");
        // Turning control off disables the lists.
        Find<QCheckBox>(d, 6005)->click();
        EXPECT_FALSE(Find<QComboBox>(d, 6022)->isEnabled());
        Click(d, 1);
    });
    RunParentalCtlDlg();
    EXPECT_EQ(MainDword("DVDPCCountry"), 1u);
    EXPECT_EQ(MainDword("ParentalLevel"), 8u);
    EXPECT_EQ(MainDword("UseParentalCtrl"), 0u);
    EXPECT_TRUE(boxes.calls.empty());
}

TEST_F(Parental, PasswordIsSetCheckedAndCleared)
{
    SetDword(HKEY_CURRENT_USER, kMainKey, "UseParentalCtrl", 1);
    // Different texts are refused and the dialog stays; equal ones, of
    // UTF-8 beyond ASCII, are stored scrambled and read back whole.
    const QString password = QStringLiteral("月の歌pass");
    WhenShown("CParental", [&](QWidget* d) {
        WhenShown("CPassword", [&](QWidget* p) {
            EXPECT_EQ(Find<QLineEdit>(p, 6004)->text(), "");
            Find<QLineEdit>(p, 6004)->setText(password);
            Find<QLineEdit>(p, 6090)->setText("other");
            Click(p, 1);
            ASSERT_EQ(boxes.calls.size(), 1u);
            EXPECT_EQ(boxes.calls[0].text, "パスワードが一致しません。\nもう一度入力してください。");
            EXPECT_EQ(boxes.calls[0].caption, "エラー");
            EXPECT_TRUE(p->isVisible());
            Find<QLineEdit>(p, 6090)->setText(password);
            Click(p, 1);
        });
        Click(d, 6003);
        EXPECT_TRUE(Find<QCheckBox>(d, 6000)->isEnabled());
        Find<QCheckBox>(d, 6000)->setChecked(true);
        Find<QCheckBox>(d, 6001)->setChecked(true);
        Click(d, 1);
    });
    RunParentalCtlDlg();
    const std::string stored = Stored(HKEY_CURRENT_USER, kMainKey, "ParentalLockPassword").bytes;
    EXPECT_EQ(UnscrambledPassword(stored), password.toStdString());
    EXPECT_EQ(MainDword("UsePasswordToUnlock"), 1u);
    EXPECT_EQ(MainDword("ProtectParentalCtrlDlg"), 1u);

    // A wrong password closes without a message and without the dialog.
    boxes.calls.clear();
    bool parentalShown = false;
    WhenShown("CParental", [&](QWidget* d) {
        parentalShown = true;
        Click(d, 2);
    });
    WhenShown("CProtectDlg", [](QWidget* p) {
        Find<QLineEdit>(p, 6004)->setText("wrong");
        Click(p, 1);
    });
    RunParentalCtlDlg();
    CancelWaits();
    EXPECT_FALSE(parentalShown);
    EXPECT_TRUE(boxes.calls.empty());

    // The right one opens it; the change dialog shows the password, and an
    // empty one confirmed with Yes clears it and both password options.
    WhenShown("CProtectDlg", [&](QWidget* p) {
        WhenShown("CParental", [&](QWidget* d) {
            WhenShown("CPassword", [&](QWidget* p2) {
                EXPECT_EQ(Find<QLineEdit>(p2, 6090)->text(), password);
                Find<QLineEdit>(p2, 6004)->clear();
                Find<QLineEdit>(p2, 6090)->clear();
                boxes.answer = IDNO;
                Click(p2, 1);
                EXPECT_TRUE(p2->isVisible());
                boxes.answer = IDYES;
                Click(p2, 1);
            });
            Click(d, 6003);
            EXPECT_FALSE(Find<QCheckBox>(d, 6000)->isChecked());
            EXPECT_FALSE(Find<QCheckBox>(d, 6001)->isChecked());
            Click(d, 1);
        });
        Find<QLineEdit>(p, 6004)->setText(password);
        Click(p, 1);
    });
    RunParentalCtlDlg();
    ASSERT_EQ(boxes.calls.size(), 2u);
    EXPECT_EQ(boxes.calls[0].caption, "確認");
    EXPECT_EQ(boxes.calls[0].flags & MB_YESNO, MB_YESNO);
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, kMainKey, "ParentalLockPassword").bytes, std::string(1, '\0'));
    EXPECT_EQ(MainDword("UsePasswordToUnlock"), 0u);
    EXPECT_EQ(MainDword("ProtectParentalCtrlDlg"), 0u);
}

TEST_F(Parental, OverlongStoredPasswordCountsAsNone)
{
    StorePassword(std::string(52, 'x'), true);
    WhenShown("CParental", [](QWidget* d) {
        EXPECT_FALSE(Find<QCheckBox>(d, 6000)->isEnabled());
        EXPECT_FALSE(Find<QCheckBox>(d, 6001)->isEnabled());
        // The edits keep to 50 bytes of UTF-8, cut between characters.
        WhenShown("CPassword", [](QWidget* p) {
            Find<QLineEdit>(p, 6004)->setText(QString(30, QChar(0x3042)));
            EXPECT_EQ(Find<QLineEdit>(p, 6004)->text(), QString(16, QChar(0x3042)));
            Click(p, 2);
        });
        Click(d, 6003);
        Click(d, 2);
    });
    RunParentalCtlDlg();
}

}  // namespace

// The parental-control dialogs: CParental (on/off, country, level, password
// options), CPassword (set or change the lock password) and CProtectDlg (the
// password asked before CParental opens). They write the values under the
// Main key that the player's DVD graph reads when it builds a graph; the
// lock password is stored scrambled (common/scramble.h).
#pragma once

#include <QDialog>
#include <QStringList>

#include <memory>
#include <string>

namespace Ui {
class CParental;
class CPassword;
class CProtectDlg;
}  // namespace Ui

// A stored lock password longer than this counts as none: the player's
// buffer for it holds 51 bytes and a zero.
inline constexpr std::size_t kMaxLockPasswordBytes = 51;
// What the password edits take, in bytes of UTF-8.
inline constexpr int kLockPasswordEditBytes = 50;

// Countries of the level lists: 0 Japan, 1 USA and Canada, 2 none named.
// The level list shown for a country, the stored level (0-8) of a list
// position, and the position that shows a stored level (0 for a level
// outside 0-8 or an unknown country).
QStringList ParentalLevelNames(int country);
int ParentalLevelOfPosition(int country, int position);
int ParentalPositionOfLevel(int country, int level);

class CPassword : public QDialog {
public:
    // Both edits start with `password` (plain text).
    CPassword(const QString& password, QWidget* parent);
    ~CPassword() override;
    QString Password() const { return password_; }

protected:
    void OnBnClickedOk();

private:
    std::unique_ptr<Ui::CPassword> ui_;
    QString password_;
};

class CProtectDlg : public QDialog {
public:
    explicit CProtectDlg(QWidget* parent);
    ~CProtectDlg() override;
    QString Password() const;

private:
    std::unique_ptr<Ui::CProtectDlg> ui_;
};

class CParental : public QDialog {
public:
    // password: the stored lock password, scrambled; protect: whether the
    // dialog is protected by it.
    CParental(const std::string& password, bool protect, QWidget* parent);
    ~CParental() override;

protected:
    bool OnInitDialog();
    void OnBnClickedOk();
    void OnBnClickedChangePassword();
    void OnCbnSelchangeCountry();
    void OnCbnSelchangeLevel(int position);
    void UpdateEnables();

private:
    void FillLevels();
    std::unique_ptr<Ui::CParental> ui_;
    int level_ = 0;
    bool protect_ = false;
    std::string password_;   // scrambled
};

// The export's flow: the protection prompt when it applies, then CParental.
void RunParentalCtlDlg();

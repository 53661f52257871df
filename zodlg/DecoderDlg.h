// The decoder option dialogs: check boxes over DVD decoder vendors' own
// registry values (DWORD 0 or 1). CDecoderDlg2 serves two vendors, chosen by
// a flag; CCinemasterDec a third. They write only after a box was changed,
// and create a vendor's key only where that vendor keeps per-user copies.
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class CDecoderDlg2;
class CCinemasterDec;
}  // namespace Ui

class CDecoderDlg2 : public QDialog {
public:
    // interVideo: the first vendor family, else the second.
    CDecoderDlg2(bool interVideo, QWidget* parent);
    ~CDecoderDlg2() override;

protected:
    bool OnInitDialog();
    void OnBnClickedOk();

private:
    bool Changed() const;
    std::unique_ptr<Ui::CDecoderDlg2> ui_;
    bool interVideo_;
    bool clvsd_ = false;   // the second vendor's per-user key exists
    bool start_[4] = {};   // 6000, 6001, 6005, 6038 as shown at start
};

class CCinemasterDec : public QDialog {
public:
    explicit CCinemasterDec(QWidget* parent);
    ~CCinemasterDec() override;

protected:
    bool OnInitDialog();
    void OnBnClickedOk();

private:
    std::unique_ptr<Ui::CCinemasterDec> ui_;
    bool start_[3] = {};   // 6000, 6001, 6005
};

void RunDecoderDlg(bool interVideo);
void RunSonicDecoderDlg();

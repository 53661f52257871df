// The colour window: track bars for brightness, contrast, hue, saturation,
// gamma and sharpness whose every move shows on the picture at once, the
// defaults and the opening values back at a click, and the named presets.
// Modal, made for one run by the main window, which rebuilds its preset
// menus when the window closed with OK and reports changed presets.
#pragma once

#include "player/tools/ColorAdjust.h"

#include <QDialog>

#include <memory>

namespace Ui {
class TColorDlg;
}
class IToolHost;
class QLabel;
class QMenu;
class QSlider;

class TColorDlg : public QDialog {
    Q_OBJECT
public:
    // The result codes of exec().
    static constexpr int kOk = 1;
    static constexpr int kCancel = 2;

    explicit TColorDlg(IToolHost& host);
    ~TColorDlg() override;

    bool presetsChanged() const { return adjust_.presetsChanged(); }
    QMenu* PopupMenu1() const { return popup_; }

    void FormShow();
    void TBarBrightnessChange();
    void TBarContrastChange();
    void TBarHueChange();
    void TBarSaturationChange();
    void TBarGammaChange();
    void TBarSharpChange();
    void BtnDefaultClick();
    void BtnRestoreClick();
    void CancelBtnClick();
    void OKBtnClick();
    void ComboBox1Change();
    void Button1Click();
    void Button2Click();
    void PopupMenu1Popup();
    void N1Click();
    void N2Click();
    void N3Click();

protected:
    void showEvent(QShowEvent* e) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    QSlider* Bar(int property) const;
    QLabel* ValueLabel(int property) const;
    void BarChanged(int property);
    void ShowPositions();
    void SaveAs(int renameIndex);
    void Place();
    void LblBrightnessMouseDown();

    IToolHost& host_;
    std::unique_ptr<Ui::TColorDlg> ui_;
    TColorAdjust adjust_;
    QMenu* popup_ = nullptr;
    bool updating_ = false;
};

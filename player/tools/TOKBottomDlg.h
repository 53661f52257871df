// The options dialog "設定": eleven sheets behind button-style tabs, each
// loaded on its first show; OK applies and writes the shown ones
// (OptionSheets), Cancel writes nothing. The buttons on the sheets act at
// once. Modal; the main window makes it for one run.
#pragma once

#include <QDialog>

#include <memory>

class IOptionsHost;
class IToolHost;
class TDecoderLists;
class TOptionSheets;
enum class TOptionSheet;
namespace Ui {
class TOKBottomDlg;
}

class TOKBottomDlg : public QDialog {
    Q_OBJECT
public:
    // Without a tool host the key dialog stays closed.
    TOKBottomDlg(QWidget* owner, IToolHost* host, IOptionsHost& options);
    ~TOKBottomDlg() override;

    Ui::TOKBottomDlg* Form() const { return ui_.get(); }
    TOptionSheets& Sheets() const { return *sheets_; }
    TDecoderLists& Decoders() const { return *decoders_; }
    // Brings up a sheet as its tab button does.
    void ShowSheet(TOptionSheet sheet);

    void OKBtnClick();
    // "検索ファイル": the search kinds dialog, for one run.
    void btnSerchClick();
    // "キー/マウス": the key and mouse assignments, for one run; keys
    // changed there are loaded by the main window at once.
    void btnKeyClick();
    void BtnFileClick();
    void BtnColorClick();
    void Button6Click();
    void btnEnableOverlayClick();
    void BtnDelBMClick();
    void BtnDefaultClick();
    void BtnSelectOpenListClick();
    void BtnDecproClick();
    void Button1Click();
    void BtnCDDBClick();
    void CbResumeFileClick();
    void CbOpenSpecificFileClick();
    void CbDvdGraphBuilderClick();
    void ComboDVDRendererChange();

protected:
    void showEvent(QShowEvent* e) override;

private:
    std::unique_ptr<Ui::TOKBottomDlg> ui_;
    IToolHost* host_ = nullptr;
    IOptionsHost& options_;
    std::unique_ptr<TDecoderLists> decoders_;
    std::unique_ptr<TOptionSheets> sheets_;
};

// Deletes the resume and bookmark files of every disc folder under `root`
// and the emptied folders. Links are neither entered nor removed, and other
// files stay. False when anything could not be deleted.
bool DeleteBookmarkFolders(const QString& root);

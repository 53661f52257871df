// The folder search's progress window: it appears only when a search lasts
// over 1.5 seconds, and its "中止" stops the search. It also runs the scan
// of one folder by the kinds of "検索ファイル" (SearchFolder). The main
// window makes it for one search (its folder search and the folders of its
// command line) and frees it after. Main thread.
#pragma once

#include "player/tools/FolderSearch.h"

#include <QWidget>

#include <memory>

namespace Ui {
class TDlgSerch;
}
class IToolHost;
class QTimer;

class TDlgSerch : public QWidget {
    Q_OBJECT
public:
    // Loads the kinds from Main; hidden until Timer1 fires.
    TDlgSerch(IToolHost& host, QWidget* owner);
    ~TDlgSerch() override;

    // Every displayed file type counts instead of the chosen kinds.
    void FollowExtensionList(const QString& extensionList);
    // Adds the files of one folder through the main window, processing
    // pending events after each; stops when the host's scan mark is cleared
    // or this window goes meanwhile. False when stopped.
    bool SearchFolder(const QString& folder);

    // "中止".
    void Button1Click();
    void Timer1Timer();

protected:
    void showEvent(QShowEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    void FormShow();
    void FormMouseDown(QMouseEvent* e);
    void FormDestroy();

    IToolHost& host_;
    std::unique_ptr<Ui::TDlgSerch> ui_;
    QTimer* Timer1;
    TFolderSearch search_;
};

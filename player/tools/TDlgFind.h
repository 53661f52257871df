// "検索ファイル": which kinds of files the folder search collects, stored in
// Main as the Serch values. Modal; the options dialog makes it for one run.
#pragma once

#include "player/tools/FolderSearch.h"

#include <QDialog>

#include <memory>

namespace Ui {
class TDlgFind;
}
class QCheckBox;

class TDlgFind : public QDialog {
    Q_OBJECT
public:
    // Loads every box and the custom extensions from Main (opened or created).
    explicit TDlgFind(QWidget* owner);
    ~TDlgFind() override;

    // "すべて": the nine fixed kinds, and each custom kind that has an extension.
    void Button1Click();
    // Stores the choice and closes; without any kind chosen it says so and stays.
    void OKBtnClick();
    // The kinds as the boxes and edits show them.
    TSearchKinds Kinds() const;

protected:
    void showEvent(QShowEvent* e) override;

private:
    QCheckBox* Box(TSearchKinds::Kind kind) const;
    std::unique_ptr<Ui::TDlgFind> ui_;
};

// The filter list: the elements of the playing pipeline, grey where there
// is nothing to set, a double click opening an element's property dialog,
// and the picture's size and aspect. Modal, made for one run by the main
// window.
#pragma once

#include "platform/media/elements.h"

#include <QDialog>
#include <QStringList>

#include <memory>
#include <vector>

namespace Ui {
class TShowFilterDlg;
}
class IToolHost;
class QListWidget;

// The list's items: "1" (properties to set) or "0", then the element's
// name. With `audioStreamItems` streams in the audio menu and as many audio
// renderers, only the renderer at which the count from that number reaches
// 0 is listed (the others play the streams not chosen); with another number
// of renderers every one is, as several streams can share one renderer.
QStringList FilterListItems(const std::vector<media::GraphElement>& elements, int audioStreamItems);

class TShowFilterDlg : public QDialog {
    Q_OBJECT
public:
    explicit TShowFilterDlg(IToolHost& host);
    ~TShowFilterDlg() override;

    QListWidget* ListBoxFilter() const;
    void ListBoxFilterDblClick();
    // The property dialog the last double click opened; null before one.
    QDialog* PropertyDialog() const { return properties_.get(); }

private:
    void FillList();
    void ShowVideoLabels();

    IToolHost& host_;
    std::unique_ptr<Ui::TShowFilterDlg> ui_;
    std::unique_ptr<QDialog> properties_;
};

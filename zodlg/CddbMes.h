// CCddbMes: the modal choice among several matches of a CD-database query,
// a captionless dialog that a press anywhere on it drags. One row per match
// (category, artist, album) from a model over the matches; the choice is the
// list's current row, the first until the user moves it. OK or a double
// click on a row chooses; Escape cancels.
#pragma once

#include "CddbReply.h"

#include <QAbstractTableModel>
#include <QDialog>

#include <memory>
#include <vector>

namespace Ui {
class CCddbMes;
}

// The matches as three columns: "Category", "Artist", "Album".
class CddbMatchModel : public QAbstractTableModel {
public:
    explicit CddbMatchModel(const std::vector<CddbMatch>& matches, QObject* parent = nullptr)
        : QAbstractTableModel(parent), matches_(matches)
    {
    }
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const std::vector<CddbMatch>& matches_;
};

class CCddbMes : public QDialog {
public:
    CCddbMes(const std::vector<CddbMatch>& matches, QWidget* parent);
    ~CCddbMes() override;
    // The row chosen (0 until the user moves the current row).
    int Selected() const { return selected_; }

protected:
    bool OnInitDialog();
    void mousePressEvent(QMouseEvent* event) override;

private:
    std::unique_ptr<Ui::CCddbMes> ui_;
    CddbMatchModel model_;
    int selected_ = 0;
};

// Shows the choice over the caller's window. True with *chosen set when the
// user chose; false when cancelled or when no dialog can be shown here.
bool ChooseMatch(const std::vector<CddbMatch>& matches, std::size_t* chosen);

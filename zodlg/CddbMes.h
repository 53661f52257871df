// CCddbMes: the modal choice among several matches of a CD-database query.
// One row per match (category, artist, album); OK takes the selected row,
// the first when the list was not touched, and a double click on a row is
// OK; Escape or closing cancels. Runs on the player's application object
// and leaves no widget behind when DoModal returns.
#pragma once

#include <string>
#include <vector>

class QWidget;

class CCddbMes {
public:
    void AddMatch(const std::string& category, const std::string& artist, const std::string& album);
    // True when the user chose a row (Selected() then names it). False when
    // cancelled, or when there is no application object with widgets on
    // this thread to show the choice with.
    bool DoModal(QWidget* parent);
    int Selected() const { return selected_; }

private:
    std::vector<std::string> categories_;
    std::vector<std::string> artists_;
    std::vector<std::string> albums_;
    int selected_ = 0;
};

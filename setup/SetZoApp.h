// The setup tool's start-up: one tool per user, which a second start brings
// forward, and the check that the player lies beside the tool.
#pragma once

#include <QString>

class CSetZoApp {
public:
    // The name of the tool's single-instance lock and of its window.
    static constexpr char kInstanceName[] = "Zorave_Setting_Tool";

    // The path of the running program, empty when it cannot be read.
    static QString RunningProgramPath();

    // Runs the tool for the program at `programPath`: hands over to a tool
    // that runs already, else checks for the player and shows the dialog
    // until it closes. The process's exit status: 0, or 1 when the tool
    // cannot start (a message said why).
    int InitInstance(const QString& programPath);
};

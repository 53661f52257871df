// The play states of the main window's transport, as the window, the audio-CD
// player and anything else that shows or drives the transport name them.
#pragma once

enum : int { psNothing = 0, psStopped = 1, psPaused = 2, psPlaying = 3, psScan = 4 };

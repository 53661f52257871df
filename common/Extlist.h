// The displayed file types used when none are stored (the Main value
// Extension): one "*.ext" pattern per type, ";" between them, 33 patterns.
// The player's open dialog and folder search and the library's file-types
// dialog all fall back to this one text.
#pragma once

inline constexpr char kDefaultExtensionList[] =
    "*.asf;*.wm;*.wma;*.wmv;*.avi;*.mpg;*.mpeg;*.m2p;*.m1v;*.wav;*.mpa;*.mp2;*.mp3;*.au;*.aif;*.aiff;*.snd;"
    "*.rm;*.ra;*.rmvb;*.mid;*.midi;*.rmi;*.jpg;*.jpeg;*.bmp;*.gif;*.tga;*.dib;*.zol;*.m3u;*.ifo;*.wpl";

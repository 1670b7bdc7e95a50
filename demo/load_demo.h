// Loading and playing a demo description (a first, small driver: each scene of the "Demo"
// list shows its first view's clear colour for the scene's time).
#pragma once

// Parses the description file, opens the board's display, lets the music start and plays
// every scene named by the "Demo" entry in order; returns when the last one has ended.
// A file that cannot be opened is reported ("cannot open NAME") and nothing plays.
void LoadDemo(const char* file);

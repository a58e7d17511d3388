#pragma once

// The names and icon the console shows itself under: the profile's folder,
// the desktop entry the window belongs to, the icon of every window. Set once,
// right after the application object is made, by every program that opens
// the console's window.
void ApplyConsoleIdentity();

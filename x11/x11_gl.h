#pragma once
// The entry table filled from the system's libGL.

// Opens libGL and resolves the 51 entries by their names: 0, or -1 after
// one line on stderr.
int LoadSystemGl();

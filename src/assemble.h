// The program put together: what stands behind the navigator's screens,
// commands and moments, and who follows a run's steps. Called once before
// the main window is built (calls after the first change nothing).
#pragma once

void trialix_assemble(void);

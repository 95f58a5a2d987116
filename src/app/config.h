// Installation settings: where the exams are, how their files are named,
// where saved exams go.
#pragma once

// Fills examdir, examconfig, prefix and savedir from the platform's
// settings; shows the settings warning when there are none.
void trialix_config(void);

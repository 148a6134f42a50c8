#pragma once
// What the plain-type facades set up for a host that is not a Qt program.

// Makes a GUI application object when the process has none (QPixmap and QPrinter need
// one) and counts its users; the last release deletes the object made here, and a later acquire
// makes a new one. Its platform is the one QT_QPA_PLATFORM names, offscreen when that is unset.
void paxAcquireHostApplication();
void paxReleaseHostApplication();
// Sets the save root ("vq3" in Documents) when nothing has set it yet.
void paxEnsureSaveRoot();

#pragma once
// Small helpers the dialogs share: a fresh temporary file name, the modal error and info boxes,
// and the registration of the dialogs' pictures.

#include <QString>

// A fresh unique temporary file path (a temporary file is made, its name taken, the file
// removed again); empty when no temporary file could be made.
QString getTempFilename();
// Modal critical box without parent, titled "Error", with one OK button. Blocks the GUI thread
// until the user closes it.
void myErrorTip(const QString& text);
// The same as an information box titled "Tip".
void myInfoTip(const QString& text);
// Makes the dialogs' pictures (":/myImage/res/...") available; safe to call often.
void functionUiInitResources();

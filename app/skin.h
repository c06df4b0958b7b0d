// The one built-in skin: the Fusion style plus a style sheet applied to every window and dialog.
#pragma once

class QApplication;

// Applies the skin and the program's font (the system sans-serif at 8 points) to the whole application.
void ApplySkin(QApplication& app);

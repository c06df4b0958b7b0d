// Export and import of website lists from the main window.
#include "Unit1.h"

void TForm1::sSpeedButton2Click() {}

void TForm1::Import1Click() {}

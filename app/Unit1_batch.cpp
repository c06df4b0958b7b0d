// The batch run of the main window: every row of the list becomes a thumbnail.
#include "Unit1.h"

void TForm1::sBitBtn3Click() {}

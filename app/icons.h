// The 16 x 16 pictures of the tool buttons, drawn by the program itself.
#pragma once

#include <QIcon>

class QPainter;

QIcon ImportListIcon();     // an opening folder with a curved arrow
QIcon ExportListIcon();     // a diskette
QIcon CheckAllIcon();       // three ticked check boxes
QIcon UncheckAllIcon();     // three empty check boxes
QIcon DeleteCheckedIcon();  // a black cross
QIcon ChooseFolderIcon();   // a small closed folder, for the folder field's button
QIcon ApplicationIcon();    // the program's own icon: a framed page thumbnail

// The states of a run's rows in the list's URL cells; drawn once, every row shares them.
QIcon RowDoneIcon();       // a green tick
QIcon RowFailedIcon();     // a white cross on a red disc
QIcon RowTimedOutIcon();   // a clock face on amber
QIcon RowBlankIcon();      // an empty grey picture frame
QIcon RowHttpErrorIcon();  // a black "!" on an amber triangle
QIcon RowChangedIcon();    // a white up-and-down arrow on a blue disc

// Paints the program's icon into the square (0, 0, size, size) of an antialiased painter; the painter's
// state is left as it was. ApplicationIcon() and the icon files of the installed program use it.
void PaintApplicationIcon(QPainter& painter, int size);

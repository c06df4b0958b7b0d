// Program entry: the main window, then the gallery and the About box, then the event loop.
#include "Unit1.h"
#include "Unit2.h"
#include "icons.h"
#include "jpeg_image.h"
#include "skin.h"

#include <QApplication>
#include <QScreen>
#include <csignal>

int main(int argc, char** argv) {
    // A write beyond the file size limit fails with EFBIG and fails its row, instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    ApplySkin(app);
    app.setWindowIcon(ApplicationIcon());
    // Pictures are decoded to 236 colours only on a display of 8 bits per pixel or fewer, read once here.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        TJpegImage::SetLowColorDisplay(screen->depth() <= 8);
    TForm1 form1;
    TForm2 form2;  // the gallery, hidden until a run asks for it
    form1.Form2 = &form2;
    form1.show();
    return app.exec();
}

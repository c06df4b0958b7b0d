// The one built-in skin.
#include "skin.h"

#include <QApplication>
#include <QFont>
#include <QPalette>
#include <QStyleFactory>

namespace {

const char* const kStyleSheet = R"(
QMainWindow, QDialog, QMessageBox { background: rgb(209, 209, 209); }
QGroupBox {
    border: 1px solid rgb(150, 150, 150);
    border-radius: 3px;
    margin-top: 6px;
}
QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 2px; color: rgb(20, 40, 100); }
QPushButton {
    border: 1px solid rgb(120, 120, 120);
    border-radius: 3px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 rgb(250, 250, 250), stop:1 rgb(215, 215, 215));
    padding: 2px 8px;
}
QPushButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 rgb(255, 255, 255), stop:1 rgb(200, 215, 235)); }
QPushButton:pressed { background: rgb(190, 200, 220); }
QPushButton:disabled { color: rgb(140, 140, 140); border-color: rgb(170, 170, 170); }
QPushButton:default { border: 1px solid rgb(40, 80, 160); }
QToolButton { border: 1px solid transparent; border-radius: 2px; background: transparent; }
QToolButton:hover { border-color: rgb(120, 140, 180); background: rgb(225, 232, 245); }
QToolButton:pressed { background: rgb(190, 200, 220); }
QLineEdit, QComboBox, QTreeWidget {
    border: 1px solid rgb(130, 130, 130);
    background: white;
    selection-background-color: rgb(50, 100, 180);
}
QLineEdit:read-only { background: rgb(235, 235, 235); }
QStatusBar { background: rgb(209, 209, 209); }
QStatusBar QLabel { border: 1px solid rgb(160, 160, 160); padding: 0 2px; }
QStatusBar::item { border: none; }
QHeaderView::section {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 rgb(250, 250, 250), stop:1 rgb(220, 220, 220));
    border: 0; border-right: 1px solid rgb(170, 170, 170); border-bottom: 1px solid rgb(170, 170, 170);
    padding: 1px 4px;
}
QMenuBar { background: rgb(209, 209, 209); }
QPushButton:focus { border: 2px solid rgb(60, 120, 215); padding: 1px 7px; }
QToolButton:focus { border-color: rgb(60, 120, 215); background: rgb(225, 232, 245); }
QLineEdit:focus, QComboBox:focus, QTreeWidget:focus { border: 1px solid rgb(60, 120, 215); }
QMenuBar::item:selected { background: rgb(190, 200, 220); }
)";

}  // namespace

void ApplySkin(QApplication& app) {
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);  // 8 points at 96 dots per inch
    app.setFont(font);
    app.setStyleSheet(QString::fromLatin1(kStyleSheet));
}

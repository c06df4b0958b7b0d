// The About box.
#include "about.h"

#include "icons.h"

#include <QLabel>
#include <QPushButton>

#include <unistd.h>

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(517, 338);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    auto* icon = new QLabel(this);
    icon->setPixmap(ApplicationIcon().pixmap(64, 64));
    icon->setGeometry(16, 16, 64, 64);

    auto* name = new QLabel(QStringLiteral("Bildoro"), this);
    QFont big = name->font();
    big.setPointSize(16);
    big.setBold(true);
    name->setFont(big);
    name->setGeometry(96, 16, 400, 30);

    auto* description = new QLabel(
        QStringLiteral(
            "Erstellt in einem Durchgang Vorschaubilder (Thumbnails) von Webseiten aus einer Liste."),
        this);
    description->setWordWrap(true);
    description->setGeometry(96, 48, 400, 32);

    auto* versionCaption = new QLabel(QStringLiteral("Version:"), this);
    versionCaption->setGeometry(96, 88, 50, 16);
    lb_version = new QLabel(this);
    lb_version->setObjectName(QStringLiteral("lb_version"));
    QFont bold(QStringLiteral("Arial"));
    bold.setPointSize(8);
    bold.setBold(true);
    lb_version->setFont(bold);
    lb_version->setGeometry(150, 88, 120, 16);

    auto* licences = new QLabel(this);
    licences->setObjectName(QStringLiteral("licences"));
    licences->setWordWrap(true);
    licences->setTextFormat(Qt::PlainText);
    licences->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    licences->setGeometry(16, 120, 485, 184);
    licences->setText(
        QStringLiteral(
            "Bildoro ist freie Software unter der MIT-Lizenz.\n"
            "Copyright © Die Bildoro-Entwickler\n\n"
            "Verwendete Komponenten:\n"
            "• Qt %1 – GNU Lesser General Public License v3 (LGPL-3.0)\n"
            "• libjpeg-turbo – IJG License und BSD-3-Clause-Lizenz; diese Software beruht teilweise auf der "
            "Arbeit der Independent JPEG Group\n"
            "• Chromium (als eigenständiges Programm gestartet) – BSD-3-Clause-Lizenz und die Lizenzen "
            "seiner "
            "Bestandteile")
            .arg(QString::fromLatin1(qVersion())) +
        // Chromium refuses its sandbox to root; whoever runs the program so should know what it means.
        (geteuid() == 0
             ? QStringLiteral("\n\nAls root läuft Chromium ohne seine Sandbox: eine feindliche Seite, die in "
                              "den Browser einbricht, hätte die Rechte von root. Als normaler Benutzer "
                              "gestartet, behält Chromium seine Sandbox.")
             : QString()));

    // Enter (the default button) and Escape close the box, as its button does.
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("bt_ok"));
    ok->setGeometry(517 - 16 - 75, 338 - 7 - 25, 75, 25);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutForm::ShowModalOver(QWidget* owner) {
    lb_version->setText(QStringLiteral(BILDORO_FILE_VERSION));
    if (owner) {
        const QRect frame = owner->frameGeometry();
        move(frame.center() - QPoint(width() / 2, height() / 2));
    }
    exec();
}

// The program's message dialogs, the error box and the file dialogs over Qt.
#include "dialogs.h"

#include "settings_rules.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStringList>
#include <QUrl>

namespace {

// Messages are centred on the screen and word-wrapped at half its width at most.
void CentreOnScreen(QMessageBox& box) {
    box.adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        box.move(area.center() - QPoint(box.width() / 2, box.height() / 2));
    }
}

void LimitWidth(QMessageBox& box) {
    if (QScreen* screen = QGuiApplication::primaryScreen())
        box.setStyleSheet(
            QStringLiteral("QLabel { max-width: %1px; }").arg(screen->availableGeometry().width() / 2));
}

}  // namespace

QString ApplicationTitle() {
    return ApplicationTitleFor(QCoreApplication::applicationFilePath());
}

void TQtDialogs::ShowNotice(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, ApplicationTitle(), text, QMessageBox::NoButton, m_parent);
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    LimitWidth(box);
    CentreOnScreen(box);
    box.exec();
}

bool TQtDialogs::AskYesNo(const QString& text) {
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), text, QMessageBox::NoButton,
                    m_parent);
    QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    LimitWidth(box);
    CentreOnScreen(box);
    box.exec();
    return box.clickedButton() == yes;
}

void TQtDialogs::ShowErrorBox(const QString& message) {
    QMessageBox box(QMessageBox::Critical, ApplicationTitle(), ErrorBoxText(message), QMessageBox::NoButton,
                    m_parent);
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    LimitWidth(box);
    CentreOnScreen(box);
    box.exec();
}

QString TQtDialogs::ChooseDirectory(const QString& startFolder) {
    return QFileDialog::getExistingDirectory(m_parent, QStringLiteral("Select directory"), startFolder,
                                             QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
}

QString QtFilterFromListFilter(const QString& filter) {
    // Pairs of "description|patterns", separated by "|".
    const QStringList parts = filter.split(u'|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        out << QStringLiteral("%1 (%2)").arg(parts[i], QString(parts[i + 1]).replace(u';', u' '));
    return out.join(QStringLiteral(";;"));
}

QString TQtDialogs::GetOpenFileName(const QString& filter) {
    QFileDialog dialog(m_parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);  // the file system decides whether the file can be opened
    dialog.setNameFilter(QtFilterFromListFilter(filter));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

QString TQtDialogs::GetSaveFileName(const QString& filter, const QString& defaultSuffix) {
    QFileDialog dialog(m_parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QtFilterFromListFilter(filter));
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

TQtDialogs::~TQtDialogs() {
    // An opener still running outlives these dialogs only until its parent window ends it; it says nothing.
    for (const QPointer<QProcess>& opener : m_openers)
        if (opener) QObject::disconnect(opener, nullptr, nullptr, nullptr);
}

void TQtDialogs::OpenWithDesktop(const QString& path) {
    // The desktop's opener is run as a process of its own, and its exit is waited for without blocking the
    // window: it ends at once when the handler has started, or with a status that says why nothing opened
    // (the handler it finds may also keep it running until the user closes it).
    auto* opener = new QProcess(m_parent);
    m_openers.removeAll(nullptr);
    m_openers << opener;
    opener->setStandardInputFile(QProcess::nullDevice());
    opener->setStandardOutputFile(QProcess::nullDevice());
    opener->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const auto failed = [this, path](const QString& why) {
        ShowNotice(QStringLiteral("\"%1\" kann nicht geöffnet werden: %2").arg(path, why));
    };
    QObject::connect(opener, &QProcess::errorOccurred, opener,
                     [opener, failed](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart) return;
                         opener->deleteLater();
                         failed(QStringLiteral("Der Desktop hat kein Programm dafür"));
                     });
    QObject::connect(
        opener, &QProcess::finished, opener, [opener, failed](int code, QProcess::ExitStatus status) {
            opener->deleteLater();
            if (status != QProcess::NormalExit)
                failed(QStringLiteral("Das Programm dafür endete unerwartet"));
            else if (code == 2)
                failed(QStringLiteral("Es existiert nicht"));
            else if (code == 3)
                failed(QStringLiteral("Der Desktop hat kein Programm dafür"));
            else if (code != 0)
                failed(QStringLiteral("Das Programm dafür meldete einen Fehler (Status %1)").arg(code));
        });
    opener->start(QStringLiteral("xdg-open"), {path});
}

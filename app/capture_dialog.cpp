// "Aufnahme-Einstellungen": the window's capture controls.
#include "capture_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QPlainTextEdit* Lines(QWidget* parent) {
    auto* edit = new QPlainTextEdit(parent);
    edit->setTabChangesFocus(true);
    edit->setFixedHeight(52);
    return edit;
}

QStringList NonEmptyLines(const QPlainTextEdit* edit) {
    QStringList lines;
    for (const QString& line : edit->toPlainText().split(u'\n'))
        if (!line.trimmed().isEmpty()) lines << line.trimmed();
    return lines;
}

QGroupBox* Group(const QString& title, QFormLayout*& form) {
    auto* box = new QGroupBox(title);
    form = new QFormLayout(box);
    return box;
}

}  // namespace

TCaptureDialog::TCaptureDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Aufnahme-Einstellungen"));
    QFormLayout* when;
    QFormLayout* who;
    QFormLayout* what;
    QFormLayout* write;
    QGroupBox* whenBox = Group(QStringLiteral("Wann aufnehmen"), when);
    QGroupBox* whoBox = Group(QStringLiteral("Wer fragt"), who);
    QGroupBox* whatBox = Group(QStringLiteral("Was aufnehmen"), what);
    QGroupBox* writeBox = Group(QStringLiteral("Was schreiben"), write);

    waitFor = new QLineEdit(this);
    waitFor->setPlaceholderText(QStringLiteral("CSS-Selektor, z. B. #inhalt"));
    delay = new QSpinBox(this);
    delay->setRange(0, kMaxDelayMs);
    delay->setSuffix(QStringLiteral(" ms"));
    when->addRow(QStringLiteral("Warten auf Element:"), waitFor);
    when->addRow(QStringLiteral("Danach warten:"), delay);

    headers = Lines(this);
    headers->setPlaceholderText(QStringLiteral("Name: Wert (eine je Zeile)"));
    cookies = Lines(this);
    cookies->setPlaceholderText(QStringLiteral("NAME=WERT (eines je Zeile, an die Seite der Zeile)"));
    cookieFile = new QLineEdit(this);
    cookieFile->setPlaceholderText(QStringLiteral("cookies.txt (Netscape-Format)"));
    userAgent = new QLineEdit(this);
    credentials = new QLineEdit(this);
    credentials->setEchoMode(QLineEdit::Password);
    credentials->setPlaceholderText(QStringLiteral("Benutzer:Passwort"));
    proxy = new QLineEdit(this);
    proxy->setPlaceholderText(QStringLiteral("http://host:port, https://… oder socks5://…"));
    who->addRow(QStringLiteral("Kopfzeilen:"), headers);
    who->addRow(QStringLiteral("Cookies:"), cookies);
    who->addRow(QStringLiteral("Cookie-Datei:"), cookieFile);
    who->addRow(QStringLiteral("User-Agent:"), userAgent);
    who->addRow(QStringLiteral("Anmeldung:"), credentials);
    who->addRow(QStringLiteral("Proxy:"), proxy);

    fullPage = new QCheckBox(QStringLiteral("Ganze Seite"), this);
    maxHeight = new QSpinBox(this);
    maxHeight->setRange(1, kMaxFullPageHeight);
    maxHeight->setValue(TCaptureOptions().maxHeight);
    maxHeight->setSuffix(QStringLiteral(" px höchstens"));
    element = new QLineEdit(this);
    element->setPlaceholderText(QStringLiteral("CSS-Selektor: nur dieses Element"));
    hide = Lines(this);
    hide->setPlaceholderText(QStringLiteral("CSS-Selektor (einer je Zeile)"));
    scale = new QDoubleSpinBox(this);
    scale->setRange(0, kMaxScale);
    scale->setSingleStep(0.5);
    scale->setDecimals(2);
    scale->setSpecialValueText(QStringLiteral("Standard"));
    mobile = new QCheckBox(QStringLiteral("Telefon (390 × 844, Skalierung 3, Touch)"), this);
    dark = new QCheckBox(QStringLiteral("Dunkles Farbschema"), this);
    auto* page = new QGridLayout;
    page->addWidget(fullPage, 0, 0);
    page->addWidget(maxHeight, 0, 1);
    what->addRow(page);
    what->addRow(QStringLiteral("Element:"), element);
    what->addRow(QStringLiteral("Ausblenden:"), hide);
    what->addRow(QStringLiteral("Skalierung:"), scale);
    what->addRow(mobile);
    what->addRow(dark);

    format = new QComboBox(this);
    format->addItems({QStringLiteral("JPEG"), QStringLiteral("PNG"), QStringLiteral("WebP")});
    quality = new QSpinBox(this);
    quality->setRange(1, 100);
    quality->setValue(TCaptureOptions().quality);
    widths = new QLineEdit(this);
    widths->setPlaceholderText(QStringLiteral("weitere Breiten, z. B. 160,640"));
    keepCapture = new QCheckBox(QStringLiteral("Aufnahme in voller Größe behalten (NAME.full)"), this);
    write->addRow(QStringLiteral("Format:"), format);
    write->addRow(QStringLiteral("Qualität:"), quality);
    write->addRow(QStringLiteral("Breiten:"), widths);
    write->addRow(keepCapture);

    problem = new QLabel(this);
    problem->setWordWrap(true);
    problem->setStyleSheet(QStringLiteral("color: #a00000"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    connect(buttons, &QDialogButtonBox::accepted, this, &TCaptureDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TCaptureDialog::reject);

    auto* columns = new QGridLayout;
    columns->addWidget(whenBox, 0, 0);
    columns->addWidget(whatBox, 1, 0);
    columns->addWidget(whoBox, 0, 1);
    columns->addWidget(writeBox, 1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(problem);
    layout->addWidget(buttons);
}

void TCaptureDialog::SetOptions(const TCaptureOptions& o) {
    waitFor->setText(o.waitFor);
    delay->setValue(o.delayMs);
    QStringList lines;
    for (const auto& [name, value] : o.headers) lines << name + QStringLiteral(": ") + value;
    headers->setPlainText(lines.join(u'\n'));
    lines.clear();
    for (const TCookie& c : o.cookies)
        if (c.domain.isEmpty()) lines << c.name + u'=' + c.value;
    cookies->setPlainText(lines.join(u'\n'));
    cookieFile->setText(o.cookieFile);
    userAgent->setText(o.userAgent);
    credentials->setText(o.credentials ? o.credentials->first + u':' + o.credentials->second : QString());
    proxy->setText(o.proxy);
    fullPage->setChecked(o.fullPage);
    maxHeight->setValue(o.maxHeight);
    element->setText(o.element);
    hide->setPlainText(o.hide.join(u'\n'));
    scale->setValue(o.scale);
    mobile->setChecked(o.mobile);
    dark->setChecked(o.dark);
    format->setCurrentIndex(int(o.format));
    quality->setValue(o.quality);
    QStringList w;
    for (int width : o.widths) w << QString::number(width);
    widths->setText(w.join(u','));
    keepCapture->setChecked(o.keepCapture);
    problem->clear();
}

QString TCaptureDialog::Read(TCaptureOptions& o) const {
    o = TCaptureOptions();
    for (QLineEdit* selector : {waitFor, element})
        if (!selector->text().trimmed().isEmpty())
            if (const QString why = SelectorProblem(selector->text().trimmed()); !why.isEmpty()) return why;
    o.waitFor = waitFor->text().trimmed();
    o.element = element->text().trimmed();
    for (const QString& s : NonEmptyLines(hide)) {
        if (const QString why = SelectorProblem(s); !why.isEmpty()) return why;
        o.hide << s;
    }
    o.delayMs = delay->value();
    for (const QString& line : NonEmptyLines(headers)) {
        QPair<QString, QString> header;
        if (const QString why = ReadHeader(line, header); !why.isEmpty()) return why;
        o.headers << header;
    }
    for (const QString& line : NonEmptyLines(cookies)) {
        TCookie cookie;
        if (const QString why = ReadCookie(line, cookie); !why.isEmpty()) return why;
        o.cookies << cookie;
    }
    o.cookieFile = cookieFile->text().trimmed();
    if (!o.cookieFile.isEmpty())
        if (const QString why = ReadCookieFileAt(o.cookieFile, o.cookies); !why.isEmpty()) return why;
    o.userAgent = userAgent->text().trimmed();
    if (!credentials->text().isEmpty()) {
        QPair<QString, QString> c;
        if (const QString why = ReadCredentials(credentials->text(), c); !why.isEmpty()) return why;
        o.credentials = c;
    }
    o.proxy = proxy->text().trimmed();
    if (!o.proxy.isEmpty())
        if (const QString why = ProxyProblem(o.proxy); !why.isEmpty()) return why;
    o.fullPage = fullPage->isChecked();
    o.maxHeight = maxHeight->value();
    if (o.fullPage && !o.element.isEmpty())
        return QStringLiteral("„Ganze Seite“ und ein Element gehen nicht zusammen");
    o.scale = scale->value();
    if (o.scale != 0 && o.scale < 1) return QStringLiteral("Die Skalierung ist 1 bis %1").arg(kMaxScale);
    o.mobile = mobile->isChecked();
    o.dark = dark->isChecked();
    o.format = PictureFormat(format->currentIndex());
    o.quality = quality->value();
    if (!widths->text().trimmed().isEmpty())
        if (const QString why = ReadWidths(widths->text(), o.widths); !why.isEmpty()) return why;
    o.keepCapture = keepCapture->isChecked();
    return {};
}

void TCaptureDialog::accept() {
    TCaptureOptions options;
    const QString why = Read(options);
    problem->setText(why);
    if (why.isEmpty()) QDialog::accept();
}

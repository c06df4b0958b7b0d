// The main window Form1: layout, settings, website list commands and the error barrier.
#include "Unit1.h"
#include "capture_dialog.h"
#include "texts.h"

#include "about.h"
#include "chromium_process.h"
#include "dialogs.h"
#include "gauge.h"
#include "icons.h"
#include "preview_image.h"
#include "run_engine.h"
#include "settings_rules.h"
#include "texts.h"
#include "updown.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

namespace {

// Client area below the menu and above the status bar, as laid out in pixels.
constexpr int kClientWidth = 654;
constexpr int kClientHeight = 591;
constexpr int kStatusBarHeight = 19;
// Room between a label and the field it names, and a status panel's border and padding on both sides.
constexpr int kLabelGap = 4;
constexpr int kStatusPanelFrame = 8;
// What the status bar's layout takes besides its panels: the room between them and at its ends.
constexpr int kStatusBarEnds = 16;

QLabel* MakeLabel(QWidget* parent, const QString& text, int x, int y) {
    auto* label = new QLabel(text, parent);
    label->move(x, y);
    label->adjustSize();
    return label;
}

// A label that ends kLabelGap before its field, on the line it was laid out on: the system font is wider
// than the original one, and the label would touch the field or run under it.
QLabel* MakeFieldLabel(QWidget* parent, const QString& text, int x, int y, const QWidget* field) {
    QLabel* label = MakeLabel(parent, text, x, y);
    label->move(std::max(0, std::min(x, field->x() - kLabelGap - label->width())), y);
    return label;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, int x, int y, int w, int h) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(x, y, w, h);
    return edit;
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const QString& title, QRect geometry) {
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(geometry);
    return box;
}

QToolButton* MakeToolButton(QWidget* parent, const char* name, int x, const QIcon& icon) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(x, 16, 23, 22);
    button->setIcon(icon);
    button->setIconSize(QSize(16, 16));
    button->setAutoRaise(true);
    return button;
}

// The list edits only the URL in place, and marks only the URL cell of the selected row.
class UrlOnlyDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        if (index.column() != 0) return nullptr;
        return QStyledItemDelegate::createEditor(parent, option, index);
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt(option);
        if (index.column() != 0) opt.state &= ~QStyle::State_Selected;
        opt.state &= ~QStyle::State_HasFocus;
        QStyledItemDelegate::paint(painter, opt, index);
    }
};

}  // namespace

TForm1::TForm1(TDialogs* dialogs, QWidget* parent) : QMainWindow(parent) {
    UseGermanTexts();    // the texts shared with bildoro-batch, in the window's language
    UseQtGermanTexts();  // Qt's own dialogs ("Speichern unter", "Abbrechen") in the same language
    if (!dialogs) {
        m_ownDialogs = std::make_unique<TQtDialogs>(this);
        dialogs = m_ownDialogs.get();
    }
    m_dialogs = dialogs;

    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Bildoro 1.0"));
    setWindowIcon(ApplicationIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(kClientWidth, kClientHeight);
    client->setAutoFillBackground(true);
    QPalette pal = client->palette();
    pal.setColor(QPalette::Window, QColor(209, 209, 209));
    client->setPalette(pal);
    setPalette(pal);
    setCentralWidget(client);

    // The browser goes through the proxy of the capture controls at its start.
    m_browser = std::make_shared<TBrowser>([this] {
        return LaunchChromium(m_capture->proxy.isEmpty() ? QStringList() : ProxySwitches(m_capture->proxy));
    });
    WB1 = new TBrowserHost(m_browser, this);
    WB1->setObjectName(QStringLiteral("WB1"));
    WB1->SetConsentHandling(true);  // the window always refuses consent dialogs before its captures
    connect(WB1, &TBrowserHost::BeforeNavigate2, this, &TForm1::WB1BeforeNavigate2);
    connect(WB1, &TBrowserHost::DocumentComplete, this, &TForm1::WB1DocumentComplete);

    BuildMenu();
    BuildSettings();
    BuildPreview();
    BuildWebsiteList();
    BuildProgressAndStatus();
    BuildKeyboard();
    setAcceptDrops(true);

    AboutForm = new TAboutForm(this);

    // The browser view takes the size of the entry selected at start; the height follows the width.
    sComboBox1Change();
    edbreitChange();

    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

TForm1::~TForm1() = default;

void TForm1::BuildMenu() {
    QMenu* datei = menuBar()->addMenu(QStringLiteral("&Datei"));
    Beenden1 = datei->addAction(QStringLiteral("Beenden"));
    QMenu* importExport = menuBar()->addMenu(QStringLiteral("&Import / Export"));
    Exportieren1 = importExport->addAction(QStringLiteral("Exportieren"));
    Import1 = importExport->addAction(QStringLiteral("Import"));
    QMenu* hilfe = menuBar()->addMenu(QStringLiteral("&Hilfe"));
    About1 = hilfe->addAction(QStringLiteral("About"));
    Beenden1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    Exportieren1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    Import1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    About1->setShortcut(QKeySequence(Qt::Key_F1));

    connect(Beenden1, &QAction::triggered, this, [this] { Guarded([this] { Beenden1Click(); }); });
    connect(Exportieren1, &QAction::triggered, this, [this] { Guarded([this] { sSpeedButton2Click(); }); });
    connect(Import1, &QAction::triggered, this, [this] { Guarded([this] { Import1Click(); }); });
    connect(About1, &QAction::triggered, this, [this] { Guarded([this] { About1Click(); }); });

    // A setting like the fields of the panel: each row's reduction reads it when it runs.
    GlattVerkleinern1 = new QAction(QStringLiteral("Glatt verkleinern"), datei);
    GlattVerkleinern1->setCheckable(true);
    datei->insertAction(Beenden1, GlattVerkleinern1);
    Aufnahme1 = new QAction(QStringLiteral("Aufnahme-Einstellungen …"), datei);
    datei->insertAction(Beenden1, Aufnahme1);
    connect(Aufnahme1, &QAction::triggered, this, [this] { Guarded([this] { Aufnahme1Click(); }); });
    datei->insertSeparator(Beenden1);
    AddResultCommands(datei);
}

void TForm1::AddResultCommands(QMenu* datei) {
    // Above "Beenden", apart from it.
    Starten1 = new QAction(QStringLiteral("Verarbeitung starten"), this);
    Starten1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    Starten1->setEnabled(false);  // as the start button
    Fehlgeschlagene1 = new QAction(QStringLiteral("Fehlgeschlagene erneut verarbeiten"), this);
    Fehlgeschlagene1->setEnabled(false);  // only after a run, while its marks are shown
    Ordner1 = new QAction(QStringLiteral("Ausgabeordner öffnen"), this);
    Abbrechen1 = new QAction(QStringLiteral("Verarbeitung abbrechen"), this);
    Abbrechen1->setShortcut(QKeySequence(Qt::Key_Escape));
    Abbrechen1->setEnabled(false);  // only while a run is going
    datei->insertActions(Beenden1, {Starten1, Fehlgeschlagene1, Abbrechen1});
    datei->insertSeparator(Beenden1);
    datei->insertAction(Beenden1, Ordner1);
    datei->insertSeparator(Beenden1);
    connect(Starten1, &QAction::triggered, this, [this] {
        if (sBitBtn3->isEnabled()) Guarded([this] { sBitBtn3Click(); });
    });
    connect(Fehlgeschlagene1, &QAction::triggered, this,
            [this] { Guarded([this] { Fehlgeschlagene1Click(); }); });
    connect(Ordner1, &QAction::triggered, this, [this] { Guarded([this] { Ordner1Click(); }); });
    connect(Abbrechen1, &QAction::triggered, this, [this] { Guarded([this] { Abbrechen1Click(); }); });
}

void TForm1::BuildSettings() {
    QWidget* client = centralWidget();
    sGroupBox1 = MakeGroup(client, "sGroupBox1", QStringLiteral("Einstellungen"), QRect(8, 8, 273, 273));

    sLabel1 = MakeLabel(sGroupBox1, QStringLiteral("Speicherort:"), 16, 16);
    sDirectoryEdit1 = MakeEdit(sGroupBox1, "sDirectoryEdit1", 16, 32, 225, 21);
    sDirectoryEdit1->setMaxLength(255);
    // The folder button is a tool button of its own inside the field's right end, so that it is a Tab stop
    // and shows its focus.
    sDirectoryEdit1Button = new QAction(ChooseFolderIcon(), QString(), this);
    sDirectoryEdit1Button->setObjectName(QStringLiteral("sDirectoryEdit1Button"));
    sDirectoryEdit1FolderButton = new QToolButton(sDirectoryEdit1);
    sDirectoryEdit1FolderButton->setObjectName(QStringLiteral("sDirectoryEdit1FolderButton"));
    sDirectoryEdit1FolderButton->setDefaultAction(sDirectoryEdit1Button);
    sDirectoryEdit1FolderButton->setFocusPolicy(Qt::TabFocus);
    sDirectoryEdit1FolderButton->setCursor(Qt::ArrowCursor);
    sDirectoryEdit1FolderButton->setIconSize(QSize(16, 16));
    sDirectoryEdit1FolderButton->setGeometry(225 - 21, 1, 20, 19);
    sDirectoryEdit1->setTextMargins(0, 0, 20, 0);
    connect(sDirectoryEdit1, &QLineEdit::textChanged, this,
            [this] { Guarded([this] { sDirectoryEdit1Change(); }); });
    connect(sDirectoryEdit1Button, &QAction::triggered, this,
            [this] { Guarded([this] { sDirectoryEdit1ButtonClick(); }); });

    sLabel2 = MakeLabel(sGroupBox1, QStringLiteral("Bildschirmauflösung:"), 16, 56);
    sComboBox1 = new QComboBox(sGroupBox1);
    sComboBox1->setObjectName(QStringLiteral("sComboBox1"));
    sComboBox1->setGeometry(16, 72, 225, 21);
    sComboBox1->setEditable(true);
    sComboBox1->setInsertPolicy(QComboBox::NoInsert);
    sComboBox1->setCompleter(nullptr);
    sComboBox1->addItems(
        {QStringLiteral("1280 x 1024"), QStringLiteral("1024 x 768"), QStringLiteral("800 x 600")});
    sComboBox1->setCurrentIndex(1);
    connect(sComboBox1, &QComboBox::currentIndexChanged, this,
            [this] { Guarded([this] { sComboBox1Change(); }); });
    connect(sComboBox1, &QComboBox::editTextChanged, this,
            [this] { Guarded([this] { sComboBox1Change(); }); });

    sLabel3 = MakeLabel(sGroupBox1, QStringLiteral("Thumbnail - Bildgrösse:"), 16, 100);
    edbreit = MakeEdit(sGroupBox1, "edbreit", 52, 116, 53, 21);
    sLabel4 = MakeFieldLabel(sGroupBox1, QStringLiteral("Breite:"), 16, 120, edbreit);
    edbreit->setText(QStringLiteral("320"));
    sUpDown1 = new TUpDown(edbreit, 10, 1280, 320, sGroupBox1);
    sUpDown1->setObjectName(QStringLiteral("sUpDown1"));
    sUpDown1->move(105, 116);
    connect(edbreit, &QLineEdit::textChanged, this, [this] { Guarded([this] { edbreitChange(); }); });

    ed_height = MakeEdit(sGroupBox1, "ed_height", 168, 116, 57, 21);
    sLabel6 = MakeFieldLabel(sGroupBox1, QStringLiteral("Höhe:"), 136, 120, ed_height);
    ed_height->setReadOnly(true);
    ed_height->setFocusPolicy(Qt::NoFocus);  // for display only
    ed_height->setText(QStringLiteral("240"));

    sCheckBox1 = new QCheckBox(QStringLiteral("Nach Verarbeitung alle Bilder anzeigen"), sGroupBox1);
    sCheckBox1->setObjectName(QStringLiteral("sCheckBox1"));
    // Wider than laid out (208): the system font is wider than the original one and would cut the text.
    sCheckBox1->setGeometry(12, 152, 256, 20);

    sBitBtn3 = new QPushButton(QStringLiteral("Verarbeitung starten"), sGroupBox1);
    sBitBtn3->setObjectName(QStringLiteral("sBitBtn3"));
    sBitBtn3->setGeometry(24, 216, 229, 25);
    sBitBtn3->setEnabled(false);
    sBitBtn3->setAutoDefault(true);  // Enter on the focused button starts the run, as Space does
    connect(sBitBtn3, &QPushButton::clicked, this, [this] { Guarded([this] { sBitBtn3Click(); }); });

    // The browser view is never on screen; its panel is a 13 x 9 spot that shows nothing.
    sPanel1 = new QWidget(client);
    sPanel1->setObjectName(QStringLiteral("sPanel1"));
    sPanel1->setGeometry(620, 20, 13, 9);
}

void TForm1::BuildPreview() {
    sGroupBox3 =
        MakeGroup(centralWidget(), "sGroupBox3", QStringLiteral("Vorschau"), QRect(288, 8, 361, 273));
    ImagePreview1 = new TPreviewImage(sGroupBox3);
    ImagePreview1->setObjectName(QStringLiteral("ImagePreview1"));
    ImagePreview1->setGeometry(20, 20, 321, 241);
    sPanel1->raise();
}

void TForm1::BuildWebsiteList() {
    sGroupBox4 =
        MakeGroup(centralWidget(), "sGroupBox4", QStringLiteral("Website - Liste"), QRect(8, 284, 641, 249));

    sSpeedButton1 = MakeToolButton(sGroupBox4, "sSpeedButton1", 12, ImportListIcon());
    sSpeedButton2 = MakeToolButton(sGroupBox4, "sSpeedButton2", 36, ExportListIcon());
    sSpeedButton3 = MakeToolButton(sGroupBox4, "sSpeedButton3", 88, CheckAllIcon());
    sSpeedButton4 = MakeToolButton(sGroupBox4, "sSpeedButton4", 112, UncheckAllIcon());
    sSpeedButton5 = MakeToolButton(sGroupBox4, "sSpeedButton5", 144, DeleteCheckedIcon());
    sSpeedButton5->setToolTip(QStringLiteral("Alle markierten Einträge löschen"));
    connect(sSpeedButton1, &QToolButton::clicked, this, [this] { Guarded([this] { Import1Click(); }); });
    connect(sSpeedButton2, &QToolButton::clicked, this,
            [this] { Guarded([this] { sSpeedButton2Click(); }); });
    connect(sSpeedButton3, &QToolButton::clicked, this,
            [this] { Guarded([this] { sSpeedButton3Click(); }); });
    connect(sSpeedButton4, &QToolButton::clicked, this,
            [this] { Guarded([this] { sSpeedButton4Click(); }); });
    connect(sSpeedButton5, &QToolButton::clicked, this,
            [this] { Guarded([this] { sSpeedButton5Click(); }); });

    lb_anzahl = new QLabel(sGroupBox4);
    lb_anzahl->setObjectName(QStringLiteral("lb_anzahl"));
    lb_anzahl->setGeometry(364, 20, 60, 13);
    sLabel5 = MakeFieldLabel(sGroupBox4, QStringLiteral("Einträge:"), 316, 20, lb_anzahl);

    // Between the tool buttons and the counter: which rows of the last run's results the list shows.
    cb_filter = new QComboBox(sGroupBox4);
    cb_filter->setObjectName(QStringLiteral("cb_filter"));
    cb_filter->addItems({QStringLiteral("Alle Einträge"), QStringLiteral("Fehlgeschlagene"),
                         QStringLiteral("Mit Warnung"), QStringLiteral("Geändert")});
    cb_filter->setToolTip(QStringLiteral("Zeigt die Einträge nach ihrem Ergebnis im letzten Lauf"));
    cb_filter->setGeometry(176, 17, std::min(130, sLabel5->x() - kLabelGap - 176), 21);
    cb_filter->setEnabled(false);  // until a run has marked its rows
    connect(cb_filter, &QComboBox::currentIndexChanged, this,
            [this] { Guarded([this] { cb_filterChange(); }); });

    sListView1 = new QTreeWidget(sGroupBox4);
    sListView1->setObjectName(QStringLiteral("sListView1"));
    sListView1->setGeometry(0, 44, 433, 197);
    sListView1->setColumnCount(2);
    sListView1->setHeaderLabels({QStringLiteral("URL"), QStringLiteral("Bildname")});
    sListView1->header()->setSectionsClickable(false);
    sListView1->header()->setSectionsMovable(false);
    sListView1->header()->setStretchLastSection(false);
    sListView1->setColumnWidth(0, 250);
    sListView1->setColumnWidth(1, 160);
    sListView1->setRootIsDecorated(false);
    sListView1->setUniformRowHeights(true);
    sListView1->setSortingEnabled(false);
    sListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    sListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    sListView1->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    sListView1->setItemDelegate(new UrlOnlyDelegate(sListView1));
    // The selection stays visible when the list loses the focus.
    QPalette pal = sListView1->palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    sListView1->setPalette(pal);

    connect(sListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                Guarded([&] {
                    for (const QModelIndex& index : deselected.indexes())
                        if (index.column() == 0)
                            sListView1SelectItem(sListView1->itemFromIndex(index), false);
                    for (const QModelIndex& index : selected.indexes())
                        if (index.column() == 0) sListView1SelectItem(sListView1->itemFromIndex(index), true);
                });
            });
    connect(sListView1, &QTreeWidget::itemChanged, this,
            [this](QTreeWidgetItem* item, int column) { Guarded([&] { sListView1Edited(item, column); }); });
    connect(sListView1->model(), &QAbstractItemModel::rowsInserted, this,
            [this] { Guarded([this] { sListView1Change(); }); });
    // A run's results belong to the list as it was: a changed text, a row more or less takes them away
    // (check marks and the results themselves do not).
    connect(sListView1->model(), &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                if (roles.isEmpty() || roles.contains(Qt::DisplayRole) || roles.contains(Qt::EditRole))
                    ClearRowResults();
            });
    connect(sListView1->model(), &QAbstractItemModel::rowsInserted, this, [this] { ClearRowResults(); });
    connect(sListView1->model(), &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this] { ClearRowResults(); });

    sGroupBox5 = MakeGroup(sGroupBox4, "sGroupBox5", QStringLiteral("Hinzufügen"), QRect(444, 16, 189, 117));
    MakeLabel(sGroupBox5, QStringLiteral("URL:"), 8, 28);
    ed_url = MakeEdit(sGroupBox5, "ed_url", 60, 24, 121, 21);
    ed_pic = MakeEdit(sGroupBox5, "ed_pic", 60, 56, 121, 21);
    MakeFieldLabel(sGroupBox5, QStringLiteral("Bildname:"), 5, 60, ed_pic);
    bt_add = new QPushButton(QStringLiteral("Hinzufügen"), sGroupBox5);
    bt_add->setObjectName(QStringLiteral("bt_add"));
    bt_add->setGeometry(44, 84, 117, 25);
    connect(bt_add, &QPushButton::clicked, this, [this] { Guarded([this] { bt_addClick(); }); });

    sGroupBox6 = MakeGroup(sGroupBox4, "sGroupBox6", QStringLiteral("Ändern"), QRect(444, 136, 189, 105));
    MakeLabel(sGroupBox6, QStringLiteral("URL:"), 8, 20);
    ed_change_url = MakeEdit(sGroupBox6, "ed_change_url", 60, 16, 121, 21);
    ed_change_pic = MakeEdit(sGroupBox6, "ed_change_pic", 60, 44, 121, 21);
    MakeFieldLabel(sGroupBox6, QStringLiteral("Bildname:"), 5, 48, ed_change_pic);
    sBitBtn2 = new QPushButton(QStringLiteral("Eintrag ändern"), sGroupBox6);
    sBitBtn2->setObjectName(QStringLiteral("sBitBtn2"));
    sBitBtn2->setGeometry(44, 72, 117, 25);
    sBitBtn2->setEnabled(false);
    connect(sBitBtn2, &QPushButton::clicked, this, [this] { Guarded([this] { sBitBtn2Click(); }); });
}

void TForm1::BuildKeyboard() {
    // Enter in a box's fields is its button.
    for (QLineEdit* edit : {ed_url, ed_pic})
        connect(edit, &QLineEdit::returnPressed, this, [this] { Guarded([this] { bt_addClick(); }); });
    for (QLineEdit* edit : {ed_change_url, ed_change_pic})
        connect(edit, &QLineEdit::returnPressed, this, [this] {
            if (sBitBtn2->isEnabled()) Guarded([this] { sBitBtn2Click(); });
        });
    // Tab follows the layout: the settings from top to bottom, the list and its tool buttons, then the
    // "Hinzufügen" and "Ändern" boxes.
    const QList<QWidget*> order = {sDirectoryEdit1, sDirectoryEdit1FolderButton,
                                   sComboBox1,      edbreit,
                                   sCheckBox1,      sBitBtn3,
                                   sListView1,      sSpeedButton1,
                                   sSpeedButton2,   sSpeedButton3,
                                   sSpeedButton4,   sSpeedButton5,
                                   cb_filter,       ed_url,
                                   ed_pic,          bt_add,
                                   ed_change_url,   ed_change_pic,
                                   sBitBtn2};
    for (qsizetype i = 0; i + 1 < order.size(); ++i) setTabOrder(order[i], order[i + 1]);
}

void TForm1::BuildProgressAndStatus() {
    sGroupBox2 =
        MakeGroup(centralWidget(), "sGroupBox2", QStringLiteral("Fortschritt"), QRect(4, 532, 645, 57));
    sGauge1 = new TGauge(sGroupBox2);
    sGauge1->setObjectName(QStringLiteral("sGauge1"));
    sGauge1->setGeometry(16, 24, 621, 13);

    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("sStatusBar1"));
    bar->setSizeGripEnabled(false);
    bar->setFixedHeight(kStatusBarHeight);
    // Panel 0 grows beyond its 100 pixels when the font needs more for the longest position text; panel 1
    // gives that room up, so that panel 2 starts where it was laid out.
    const int positionWidth =
        std::max(100, bar->fontMetrics().horizontalAdvance(QStringLiteral("Bearbeite 9999 von 9999")) +
                          kStatusPanelFrame);
    // Panel 2 is 300 pixels wide as laid out, but from where it starts only what is left of the window's
    // width shows: it is made that wide, so that an address elided to fit ends inside the window.
    const int widths[3] = {positionWidth, std::max(100, 400 - positionWidth),
                           std::min(300, kClientWidth - 400 - kStatusBarEnds)};
    for (int i = 0; i < 3; ++i) {
        sStatusPanels[i] = new QLabel(bar);
        sStatusPanels[i]->setObjectName(QStringLiteral("sStatusBar1Panel%1").arg(i));
        sStatusPanels[i]->setFixedWidth(widths[i]);
        bar->addWidget(sStatusPanels[i]);
    }
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_centred) return;
    m_centred = true;
    if (QScreen* s = screen()) {
        const QRect area = s->availableGeometry();
        const QSize size = frameGeometry().size();
        move(area.center() - QPoint(size.width() / 2, size.height() / 2));
    }
}

void TForm1::closeEvent(QCloseEvent* event) {
    // Closing ends the program at once, also in the middle of a run: the run stops after its current wait.
    m_abortRun = true;
    if (m_engine) m_engine->Stop();
    QMainWindow::closeEvent(event);
}

void TForm1::Guarded(const std::function<void()>& command) {
    try {
        command();
    } catch (const std::exception& e) {
        m_dialogs->ShowErrorBox(QString::fromUtf8(e.what()));
    } catch (...) {
        m_dialogs->ShowErrorBox(QStringLiteral("Unbekannter Fehler"));
    }
}

// --- Settings -----------------------------------------------------------------------------------------

void TForm1::sComboBox1Change() {
    // An entry counts as selected only while the field shows its text; typing selects nothing.
    int index = sComboBox1->currentIndex();
    if (index >= 0 && sComboBox1->currentText() != sComboBox1->itemText(index)) index = -1;
    if (m_capture->mobile) return;  // a phone's view instead of the resolution's
    if (const std::optional<QSize> size = ResolutionOfEntry(index)) {
        WB1->SetHeight(size->height());
        WB1->SetWidth(size->width());
    }
}

void TForm1::Aufnahme1Click() {
    TCaptureDialog dialog(this);
    dialog.SetOptions(*m_capture);
    if (dialog.exec() != QDialog::Accepted) return;
    TCaptureOptions options;
    dialog.Read(options);
    SetCaptureOptions(options);
}

void TForm1::SetCaptureOptions(const TCaptureOptions& options) {
    const bool proxyChanged = options.proxy != m_capture->proxy;
    m_capture = std::make_shared<const TCaptureOptions>(options);
    WB1->SetPageOptions(options);
    // A browser started for another proxy is ended; the next run starts one through this one.
    if (proxyChanged) m_browser->End(QStringLiteral("The proxy was changed"));
    if (options.mobile) {
        WB1->SetWidth(kMobileWidth);
        WB1->SetHeight(kMobileHeight);
    } else {
        sComboBox1Change();
    }
}

void TForm1::edbreitChange() {
    const QString text = edbreit->text();
    const std::optional<int> width = StrToInt32(text);
    if (!width) throw std::runtime_error(NotAnIntegerMessage(text).toStdString());
    ed_height->setText(QString::number(HeightForWidth(*width)));
}

void TForm1::sDirectoryEdit1Change() {
    SetStartEnabled(true);
}

void TForm1::sDirectoryEdit1ButtonClick() {
    QString start = sDirectoryEdit1->text();
    if (start.isEmpty() || !QDir(start).exists()) start = m_chooserStart;
    const QString chosen = m_dialogs->ChooseDirectory(start);
    if (chosen.isEmpty() || !QDir(chosen).exists()) return;
    const QString full = QDir(chosen).absolutePath();
    sDirectoryEdit1->setText(full);
    m_chooserStart = full;
}

void TForm1::About1Click() {
    AboutForm->ShowModalOver(this);
}

void TForm1::Beenden1Click() {
    close();
}

void TForm1::Ordner1Click() {
    const QString folder = sDirectoryEdit1->text();
    if (folder.isEmpty()) {
        m_dialogs->ShowNotice(QStringLiteral("Kein Ausgabeordner gewählt"));
        return;
    }
    if (!QFileInfo(folder).isDir()) {
        m_dialogs->ShowNotice(QStringLiteral("Der Ausgabeordner \"%1\" existiert nicht").arg(folder));
        return;
    }
    m_dialogs->OpenWithDesktop(QFileInfo(folder).absoluteFilePath());
}

// --- Drop -----------------------------------------------------------------------------------------------

namespace {

// What a drop on the window would do: import a list file, or offer a web page's address for a new row.
struct DroppedItem {
    QString listFile;
    QString url;
};

DroppedItem WhatIsDropped(const QMimeData* mime) {
    QUrl url;
    if (mime->hasUrls() && !mime->urls().isEmpty())
        url = mime->urls().first();
    else if (mime->hasText())
        url = QUrl(mime->text().trimmed().section(u'\n', 0, 0).trimmed());
    if (url.isLocalFile()) {
        // A list file by its name only: pictures, folders and other files dropped by mistake import nothing.
        const QFileInfo file(url.toLocalFile());
        const QString suffix = file.suffix().toLower();
        if (file.isFile() && (suffix == QLatin1String("csv") || suffix == QLatin1String("txt")))
            return {file.absoluteFilePath(), {}};
        return {};
    }
    const QString scheme = url.scheme().toLower();
    if (url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")))
        return {{}, url.toString()};
    return {};
}

}  // namespace

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    const DroppedItem item = WhatIsDropped(event->mimeData());
    if (!m_running && (!item.listFile.isEmpty() || !item.url.isEmpty())) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
    const DroppedItem item = WhatIsDropped(event->mimeData());
    if (m_running || (item.listFile.isEmpty() && item.url.isEmpty())) return;
    event->acceptProposedAction();
    if (!item.listFile.isEmpty()) {
        Guarded([&] { ImportListFile(item.listFile); });
        return;
    }
    ed_url->setText(item.url);
    ed_pic->setText(PictureNameForUrl(item.url));
    ed_pic->setFocus();
    ed_pic->selectAll();
}

// --- Status bar -----------------------------------------------------------------------------------------

void TForm1::SetStatusText(int panel, const QString& text) {
    QLabel* label = sStatusPanels[panel];
    m_statusTexts[panel] = text;
    const QString shown =
        label->fontMetrics().elidedText(text, Qt::ElideMiddle, label->width() - kStatusPanelFrame);
    label->setText(shown);
    label->setToolTip(shown == text ? QString() : text);
}

QString TForm1::StatusText(int panel) const {
    return m_statusTexts[panel];
}

void TForm1::WB1BeforeNavigate2(const QString& url) {
    SetStatusText(2, url);
}

void TForm1::WB1DocumentComplete(const QString& url) {
    SetStatusText(2, url);
}

// --- Website list ---------------------------------------------------------------------------------------

int TForm1::RowCount() const {
    return sListView1->topLevelItemCount();
}

WebsiteEntry TForm1::Row(int index) const {
    const QTreeWidgetItem* item = sListView1->topLevelItem(index);
    if (!item)
        throw std::out_of_range("Listenindex überschreitet das Maximum (" + std::to_string(index) + ")");
    return {item->text(0), item->text(1), item->checkState(0) == Qt::Checked};
}

std::vector<WebsiteEntry> TForm1::Rows() const {
    std::vector<WebsiteEntry> rows;
    rows.reserve(RowCount());
    for (int i = 0; i < RowCount(); ++i) rows.push_back(Row(i));
    return rows;
}

void TForm1::AppendRow(const QString& url, const QString& picture) {
    auto* item = new QTreeWidgetItem({url, picture});
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsEditable);
    item->setCheckState(0, Qt::Unchecked);
    sListView1->addTopLevelItem(item);
}

void TForm1::DeleteRow(QTreeWidgetItem* item) {
    sListView1Deletion(item);
    m_deletingRows = true;
    // Deleting the selected row selects no other row.
    if (item->isSelected()) sListView1->clearSelection();
    if (sListView1->currentItem() == item) sListView1->selectionModel()->clearCurrentIndex();
    delete item;
    m_deletingRows = false;
}

void TForm1::RemoveAllRows() {
    if (RowCount() == 0) return;
    for (int i = RowCount() - 1; i >= 0; --i) sListView1Deletion(sListView1->topLevelItem(i));
    // All rows at once: one reset of the list instead of one removal per row (quadratic on long lists).
    m_deletingRows = true;
    sListView1->clear();
    m_deletingRows = false;
    // The deletion notices counted each row before it went; the list is empty now.
    sListView1Change();
}

void TForm1::SetRowChecked(int index, bool checked) {
    if (QTreeWidgetItem* item = sListView1->topLevelItem(index))
        item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

void TForm1::bt_addClick() {
    if (ed_url->text().isEmpty()) {
        m_dialogs->ShowNotice(QStringLiteral("Sie müssen eine URL eingeben"));
        ed_url->setFocus();
        return;
    }
    if (ed_pic->text().isEmpty()) {
        m_dialogs->ShowNotice(QStringLiteral("Sie müssen einen Bildnamen eingeben"));
        ed_pic->setFocus();
        return;
    }
    AppendRow(ed_url->text(), ed_pic->text());
    ed_url->clear();
    ed_pic->clear();
    ed_url->setFocus();
}

void TForm1::sListView1SelectItem(QTreeWidgetItem* item, bool /*selected*/) {
    if (!item || m_deletingRows) return;  // a row being deleted is not being selected
    ed_change_url->setText(item->text(0));
    ed_change_pic->setText(item->text(1));
    // A long address shows its start (scheme and host), not its end.
    ed_change_url->setCursorPosition(0);
    ed_change_pic->setCursorPosition(0);
    m_rowUnderEdit = item;
    m_rowUnderEditUrl = item->text(0);
    sBitBtn2->setEnabled(true);
}

void TForm1::sBitBtn2Click() {
    // A row deleted since its selection leaves nothing to write (the button is then disabled anyway).
    if (!m_rowUnderEdit) return;
    m_rowUnderEdit->setText(0, ed_change_url->text());
    m_rowUnderEdit->setText(1, ed_change_pic->text());
    if (!sListView1->selectedItems().isEmpty()) sListView1->clearSelection();
    ed_change_url->clear();
    ed_change_pic->clear();
    sBitBtn2->setEnabled(false);
    m_dialogs->ShowNotice(QStringLiteral("Eintrag geändert"));
}

// Checking, unchecking and deleting act on the rows the list shows: with the filter on "Alle Einträge"
// (always, unless a run has marked the rows) that is every row; rows the filter hides are never touched.
void TForm1::sSpeedButton3Click() {
    for (QTreeWidgetItem* item : ShownRows()) item->setCheckState(0, Qt::Checked);
}

void TForm1::sSpeedButton4Click() {
    for (QTreeWidgetItem* item : ShownRows()) item->setCheckState(0, Qt::Unchecked);
}

void TForm1::sSpeedButton5Click() {
    if (!m_dialogs->AskYesNo(QStringLiteral("Möchten Sie wirklich alle markierten Einträge löschen ?")))
        return;
    // Taken before the first deletion: the list's change takes the results away, and the filter with them.
    const std::vector<QTreeWidgetItem*> shown = ShownRows();
    for (auto it = shown.rbegin(); it != shown.rend(); ++it)
        if ((*it)->checkState(0) == Qt::Checked) DeleteRow(*it);
    m_dialogs->ShowNotice(QStringLiteral("Alle markierten Einträge gelöscht"));
    lb_anzahl->setText(QString::number(RowCount()));
}

void TForm1::sListView1Edited(QTreeWidgetItem* item, int column) {
    // A URL edited in place in the row under edit is the URL that "Eintrag ändern" writes back.
    // Only a changed URL is taken: a check mark or a result set on the row keeps what is typed in the field.
    if (item && item == m_rowUnderEdit && column == 0 && item->text(0) != m_rowUnderEditUrl) {
        m_rowUnderEditUrl = item->text(0);
        ed_change_url->setText(m_rowUnderEditUrl);
    }
    sListView1Change();
}

void TForm1::sListView1Change() {
    lb_anzahl->setText(QString::number(RowCount()));
}

void TForm1::sListView1Deletion(QTreeWidgetItem* item) {
    lb_anzahl->setText(QString::number(RowCount()));  // the row is still counted here
    if (item == m_rowUnderEdit) {
        m_rowUnderEdit = nullptr;
        ed_change_url->clear();
        ed_change_pic->clear();
        sBitBtn2->setEnabled(false);
    }
}

#include "editor/ui/main_window.h"

#include <QAction>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "editor/ui/collections_binding.h"
#include "editor/ui/pages/probe_pages.h"
#include "editor/ui/tab_rows.h"

namespace ui {

// The window-system operations the lifecycle logic asks for.
class TfrmRedaktor::WindowOps final : public lifecycle::MainWindowOps {
  public:
    explicit WindowOps(TfrmRedaktor& window) : window_(window) {}

    lifecycle::Size screenSize() override {
        const QScreen* screen = window_.screen();
        if (screen == nullptr) screen = QGuiApplication::primaryScreen();
        if (screen == nullptr) return {};
        const QRect r = screen->geometry();
        return {r.width(), r.height()};
    }
    lifecycle::Size outerSize() override {
        const QRect frame = window_.frameGeometry();
        return {frame.width(), frame.height()};
    }
    void moveWindow(lifecycle::Position p) override { window_.move(p.left, p.top); }
    void messageBox(const std::string& title, const std::string& text) override {
        QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title),
                        QString::fromStdString(text), QMessageBox::Ok, &window_);
        box.exec();
    }
    void bringToFront() override {
        window_.raise();
        window_.activateWindow();
    }
    void closeWindow() override { window_.close(); }

  private:
    TfrmRedaktor& window_;
};

TfrmRedaktor::TfrmRedaktor(biblioteki::Biblioteki& loader, probe::ProbeSelection& selection,
                           QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                              Qt::MSWindowsFixedSizeDialogHint),
      loader_(loader),
      selection_(selection),
      ops_(std::make_unique<WindowOps>(*this)),
      lifecycle_(std::make_unique<lifecycle::Lifecycle>(selection, loader, *ops_)) {
    setWindowTitle(QString::fromUtf8(lifecycle::kApplicationTitle));
    createMenu();
    createPages();

    tmZakritModalnuyu = new QTimer(this);
    tmZakritModalnuyu->setObjectName(QStringLiteral("tmZakritModalnuyu"));
    tmZakritModalnuyu->setInterval(1);
    connect(tmZakritModalnuyu, &QTimer::timeout, this, &TfrmRedaktor::tmZakritModalnuyuTimer);

    // The client area has a fixed size; the window's outer size follows from it and the menu.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();

    // --- pages ---
    // ProbePages (objectName "ProbePages", a child of pcParametri) made the pages from its page
    // table; it knows the active page and exposes the pages' controls.
    ProbePages* probePages = probePages_;
    lifecycle_->setActivePage(probePages);
    probePages->setBnDataKeyUp([this](int virtualKey) { bnDataKeyUp(virtualKey); });

    // --- probe file commands ---
    // The probe file commands, surface viewing and the title panel share one binding, a child
    // of this window (CollectionsBinding::of finds it).
    auto* collections = new CollectionsBinding({this, pnlGlavnaya, pnlNazvanie, tmZakritModalnuyu},
                                               loader_, selection_);
    collections->setPages(probePages);

    // --- surface viewing ---
    connect(probePages->bnIFsP, &QPushButton::clicked, this, &TfrmRedaktor::bnIFsPClick);
    connect(probePages->bnIIP, &QPushButton::clicked, this, &TfrmRedaktor::bnIIPClick);
    connect(probePages->bnIIIP, &QPushButton::clicked, this, &TfrmRedaktor::bnIIIPClick);
    connect(probePages->bnIIPP, &QPushButton::clicked, this, &TfrmRedaktor::bnIIPPClick);

    // --- title panel ---
    // pnlNazvanie and its lines report clicks to the title panel logic, which calls back
    // pnlNazvanieClick's logic; bnData's key release arrives through bnDataKeyUp.

    lifecycle_->FormCreate();
}

TfrmRedaktor::~TfrmRedaktor() {
    FormDestroy();
}

void TfrmRedaktor::createMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    auto item = [this](QMenu* menu, const char* name, const char* caption) {
        QAction* action = menu->addAction(QString::fromUtf8(caption));
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };

    menuProbe = bar->addMenu(QString::fromUtf8("Датчик"));
    menuProbe->setObjectName(QStringLiteral("menuProbe"));
    miInicializirovat = item(menuProbe, "miInicializirovat", "Инициализировать");
    miSohranitOdin = item(menuProbe, "miSohranitOdin", "Добавить в файл...");
    menuProbe->addSeparator();
    miVibratDatchik = item(menuProbe, "miVibratDatchik", "Выбрать");
    menuProbe->addSeparator();
    miVihod = item(menuProbe, "miVihod", "Выход");

    menuProbes = bar->addMenu(QString::fromUtf8("Датчики"));
    menuProbes->setObjectName(QStringLiteral("menuProbes"));
    miSohranit = item(menuProbes, "miSohranit", "Добавить в файл...");
    miZagruzit = item(menuProbes, "miZagruzit", "Загрузить из файла...");

    // "О программе" has no items: the menu bar entry itself is the command.
    N3 = bar->addAction(QString::fromUtf8("О программе"));
    N3->setObjectName(QStringLiteral("N3"));

    connect(miInicializirovat, &QAction::triggered, this, &TfrmRedaktor::miInicializirovatClick);
    connect(miSohranitOdin, &QAction::triggered, this, &TfrmRedaktor::miSohranitOdinClick);
    connect(miVibratDatchik, &QAction::triggered, this, &TfrmRedaktor::miVibratDatchikClick);
    connect(miVihod, &QAction::triggered, this, &TfrmRedaktor::miVihodClick);
    connect(miSohranit, &QAction::triggered, this, &TfrmRedaktor::miSohranitClick);
    connect(miZagruzit, &QAction::triggered, this, &TfrmRedaktor::miZagruzitClick);
    connect(N3, &QAction::triggered, this, &TfrmRedaktor::N3Click);
}

void TfrmRedaktor::createPages() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(lifecycle::kClientWidth, lifecycle::kClientHeight);
    auto* grid = new QGridLayout(client);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);

    pnlGlavnaya = new QWidget(client);
    pnlGlavnaya->setObjectName(QStringLiteral("pnlGlavnaya"));
    auto* mainLayout = new QVBoxLayout(pnlGlavnaya);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    mainLayout->setSpacing(0);

    pcParametri = new QTabWidget(pnlGlavnaya);
    pcParametri->setObjectName(QStringLiteral("pcParametri"));
    probePages_ = new ProbePages(pcParametri, loader_, selection_);
    pcParametri->setCurrentIndex(0);

    // The captions do not fit one row: they are shown in rows above the pages instead of the
    // page control's own single-row tab bar.
    auto* rows = new TabRows(pcParametri, pnlGlavnaya);
    mainLayout->addWidget(rows);
    mainLayout->addWidget(pcParametri, 1);

    pnlNazvanie = new QFrame(client);
    pnlNazvanie->setObjectName(QStringLiteral("pnlNazvanie"));
    pnlNazvanie->setAutoFillBackground(true);
    pnlNazvanie->hide();

    grid->addWidget(pnlGlavnaya, 0, 0);
    grid->addWidget(pnlNazvanie, 0, 0);
    setCentralWidget(client);
}

QWidget* TfrmRedaktor::page(const char* objectName) const {
    for (int i = 0; i < pcParametri->count(); ++i)
        if (pcParametri->widget(i)->objectName() == QLatin1String(objectName))
            return pcParametri->widget(i);
    return nullptr;
}

void TfrmRedaktor::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

// The window system adds its borders and caption only once the window is on screen, so the
// placement made at creation may have used the client size alone. As soon as the borders are
// known the window is placed once more by the same rule.
void TfrmRedaktor::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    placeAgainWithFrame();
}

void TfrmRedaktor::placeAgainWithFrame() {
    if (placedWithFrame_ || !isVisible() || frameGeometry().size() == geometry().size()) return;
    placedWithFrame_ = true;
    ops_->moveWindow(lifecycle::placeAtRightEdge(ops_->screenSize(), ops_->outerSize()));
}

void TfrmRedaktor::FormActivate() {
    lifecycle_->FormActivate();
}
void TfrmRedaktor::FormDestroy() {
    lifecycle_->FormDestroy();
}
void TfrmRedaktor::miInicializirovatClick() {
    lifecycle_->miInicializirovatClick();
}
void TfrmRedaktor::miVihodClick() {
    lifecycle_->miVihodClick();
}

// --- probe file commands ---
void TfrmRedaktor::miSohranitOdinClick() {
    if (auto* b = CollectionsBinding::of(this)) b->files().miSohranitOdinClick();
}
void TfrmRedaktor::miVibratDatchikClick() {
    if (auto* b = CollectionsBinding::of(this)) b->files().miVibratDatchikClick();
}
void TfrmRedaktor::miSohranitClick() {
    if (auto* b = CollectionsBinding::of(this)) b->files().miSohranitClick();
}
void TfrmRedaktor::miZagruzitClick() {
    if (auto* b = CollectionsBinding::of(this)) b->files().miZagruzitClick();
}

// --- title panel ---
void TfrmRedaktor::N3Click() {
    if (auto* b = CollectionsBinding::of(this)) b->titlePanel().N3Click();
}
void TfrmRedaktor::pnlNazvanieClick() {
    if (auto* b = CollectionsBinding::of(this)) b->titlePanel().pnlNazvanieClick();
}
void TfrmRedaktor::bnDataKeyUp(int virtualKey) {
    if (auto* b = CollectionsBinding::of(this)) b->titlePanel().bnDataKeyUp(virtualKey);
}

// --- surface viewing ---
void TfrmRedaktor::tmZakritModalnuyuTimer() {
    if (auto* b = CollectionsBinding::of(this)) b->surfaces().tmZakritModalnuyuTimer();
}
void TfrmRedaktor::bnIFsPClick() {
    if (auto* b = CollectionsBinding::of(this)) b->surfaces().bnIFsPClick();
}
void TfrmRedaktor::bnIIPClick() {
    if (auto* b = CollectionsBinding::of(this)) b->surfaces().bnIIPClick();
}
void TfrmRedaktor::bnIIIPClick() {
    if (auto* b = CollectionsBinding::of(this)) b->surfaces().bnIIIPClick();
}
void TfrmRedaktor::bnIIPPClick() {
    if (auto* b = CollectionsBinding::of(this)) b->surfaces().bnIIPPClick();
}

}  // namespace ui

#include "editor/ui/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "editor/collections/probe_files.h"
#include "editor/collections/recent_files.h"
#include "editor/ui/collections_binding.h"
#include "editor/ui/editor_settings.h"
#include "editor/ui/pages/probe_pages.h"
#include "editor/ui/tab_rows.h"
#include "platform/cp1251.h"

namespace ui {

namespace {

// The local probe file a drag carries, or nothing.
std::optional<QString> draggedProbeFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) return std::nullopt;
    for (const QUrl& url : data->urls()) {
        const QString path = url.toLocalFile();
        if (!path.isEmpty() && collections::isProbeFileName(path.toStdString())) return path;
    }
    return std::nullopt;
}

}  // namespace

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
    // The window is placed by placeOnScreen: centred the first time, where it was since.
    void moveWindow(lifecycle::Position) override { window_.placeOnScreen(); }
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
    : QMainWindow(parent),
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

    // The report of the last command stays in a label of its own: the menus' status tips clear
    // the status bar's passing messages.
    statusBar()->setObjectName(QStringLiteral("statusBar"));
    statusLine = new QLabel(statusBar());
    statusLine->setObjectName(QStringLiteral("statusLine"));
    statusBar()->addWidget(statusLine, 1);
    setAcceptDrops(true);
    qApp->installEventFilter(this);
    loadRecentFiles();

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
    collections->onStatus = [this](const QString& text) { statusLine->setText(text); };
    collections->onFileUsed = [this](const QString& path) { useRecentFile(path); };
    // Undo and redo work on what the pages store; a command's store of the page is a step too.
    history_ =
        std::make_unique<lifecycle::EditHistory>(loader_.probeStore(), selection_, *probePages);
    collections->onStored = [this] { noteChange(); };
    // The keyboard starts in the first field of the page; the page captions follow the page's
    // fields in the Tab order.
    probePages->cbKDpC->setFocus();
    probePages->setAfterStore([this] { noteChange(); });
    // Leaving a page stores it: the title follows at once.
    connect(pcParametri, &QTabWidget::currentChanged, this, [this] { noteChange(); });

    // --- surface viewing ---
    connect(probePages->bnIFsP, &QPushButton::clicked, this, &TfrmRedaktor::bnIFsPClick);
    connect(probePages->bnIIP, &QPushButton::clicked, this, &TfrmRedaktor::bnIIPClick);
    connect(probePages->bnIIIP, &QPushButton::clicked, this, &TfrmRedaktor::bnIIIPClick);
    connect(probePages->bnIIPP, &QPushButton::clicked, this, &TfrmRedaktor::bnIIPPClick);

    // --- title panel ---
    // pnlNazvanie and its lines report clicks to the title panel logic, which calls back
    // pnlNazvanieClick's logic; bnData's key release arrives through bnDataKeyUp.

    lifecycle_->FormCreate();
    if (loader_.isLoaded(biblioteki::kProbeStore)) collections->files().takeCollectionAsHeld();
    generation_ = collections->files().collectionGeneration();
    history_->clear();
    refreshChanges();
    updateUndo();
}

TfrmRedaktor::~TfrmRedaktor() {
    FormDestroy();
}

void TfrmRedaktor::createPages() {
    // The client area grows with the window; today's size is its least. Where the screen is
    // smaller than that (large scale factors), the area scrolls instead of being cut off.
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("clientScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    auto* client = new QWidget(scroll);
    client->setObjectName(QStringLiteral("client"));
    client->setMinimumSize(lifecycle::kClientWidth, lifecycle::kClientHeight);
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
    scroll->setWidget(client);
    setCentralWidget(scroll);
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

// Some window systems report the borders when the window is shown, without moving it.
void TfrmRedaktor::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    placeAgainWithFrame();
    QTimer::singleShot(0, this, [this] { placeAgainWithFrame(); });
}

void TfrmRedaktor::closeEvent(QCloseEvent* event) {
    // Without the probe store there is nothing to keep.
    if (loader_.isLoaded(biblioteki::kProbeStore)) {
        if (auto* b = CollectionsBinding::of(this); b && !b->files().mayClose()) {
            event->ignore();
            refreshChanges();
            return;
        }
    }
    saveWindowState();
    QMainWindow::closeEvent(event);
}

void TfrmRedaktor::dragEnterEvent(QDragEnterEvent* event) {
    if (draggedProbeFile(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TfrmRedaktor::dropEvent(QDropEvent* event) {
    if (std::optional<QString> path = draggedProbeFile(event->mimeData())) {
        event->acceptProposedAction();
        openProbeFile(*path);
    } else {
        event->ignore();
    }
}

// A file dragged over any field of the window is the window's: a probe file is loaded wherever
// it is dropped, and no field ever takes a file's address as its text.
bool TfrmRedaktor::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) {
        auto* widget = qobject_cast<QWidget*>(watched);
        auto* drop = static_cast<QDropEvent*>(event);
        if (widget != nullptr && widget != this && widget->window() == this &&
            drop->mimeData() != nullptr && drop->mimeData()->hasUrls()) {
            if (type == QEvent::Drop)
                dropEvent(drop);
            else if (draggedProbeFile(drop->mimeData()))
                drop->acceptProposedAction();
            else
                drop->ignore();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TfrmRedaktor::openProbeFile(const QString& path) {
    auto* b = CollectionsBinding::of(this);
    if (b == nullptr || !loader_.isLoaded(biblioteki::kProbeStore)) return false;
    const bool replaced = b->loadProbeFile(path);
    followCollection();
    if (!QFileInfo(path).isFile()) {
        const QString full = QFileInfo(path).absoluteFilePath();
        recent_.removeAll(full);
        rebuildRecentMenu();
    }
    refreshChanges();
    updateUndo();
    return replaced;
}

}  // namespace ui

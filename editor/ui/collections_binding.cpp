#include "editor/ui/collections_binding.h"

#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "editor/ui/file_dialogs.h"
#include "editor/ui/pages/probe_pages.h"
#include "editor/ui/tfrm_modal.h"
#include "editor/ui/tfrm_vibor.h"
#include "editor/ui/title_panel.h"
#include "platform/cp1251.h"

namespace ui {

namespace {

constexpr const char* kFileNameNotIn1251Message =
    "Имя файла содержит знаки, которых нет в кодовой странице 1251. Выберите файл с другим "
    "именем или в другой папке.";

// The editor's boxes: a title, the text, OK and the warning icon (each tells of something that
// was not done).
void showBox(QWidget* owner, const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::Ok, owner);
    box.exec();
}

// The libraries take file names in code page 1251. A name with a character that code page
// lacks would reach them with '?' in its place and so name another file, or none: it is refused
// with a message, and the command goes on as after a cancelled dialog.
bool passesToLibraries(QWidget* owner, const QString& name) {
    if (QString::fromStdString(platform::cp1251ToUtf8(toLibraryText(name))) == name) return true;
    showBox(owner, kFileNameNotIn1251Message, collections::kAppTitle);
    return false;
}

// The same for a probe file's name, told in the probe-file client's words (which name the file).
bool probeFileNamePasses(QWidget* owner, const QString& name) {
    const auto checked = probefiles::nameOf(name.toStdString());
    if (checked) return true;
    showBox(owner, probefiles::messageOf(checked.error()), collections::kAppTitle);
    return false;
}

}  // namespace

class CollectionsBinding::FileUi final : public collections::ProbeFileUi {
  public:
    FileUi(QWidget* mainForm, CollectionsBinding& binding)
        : mainForm_(mainForm), binding_(binding) {}

    std::optional<std::string> askSaveFileName() override {
        return library(ui::askSaveFileName(mainForm_, collections::kProbeFileFilter,
                                           collections::kProbeFileExtension));
    }
    std::optional<std::string> askOpenFileName() override {
        return library(ui::askOpenFileName(mainForm_, collections::kProbeFileFilter,
                                           collections::kProbeFileExtension));
    }
    void showMessage(const std::string& text, const std::string& caption) override {
        showBox(mainForm_, text, caption);
    }
    void makeFolderCurrent(const std::string& fileName) override {
        ui::makeFolderCurrent(QString::fromStdString(platform::cp1251ToUtf8(fileName)));
    }
    int runSelectionDialog(collections::RecordSelectionModel& dialog) override {
        return runRecordSelection(mainForm_, dialog);
    }
    void showStatus(const std::string& text) override {
        if (binding_.onStatus) binding_.onStatus(QString::fromStdString(text));
    }
    void fileUsed(const std::string& fileName) override {
        if (binding_.onFileUsed)
            binding_.onFileUsed(QFileInfo(QString::fromStdString(platform::cp1251ToUtf8(fileName)))
                                    .absoluteFilePath());
    }
    collections::UnheldChangesAnswer askUnheldChanges(
        collections::UnheldChangesMoment moment) override {
        const bool closing = moment == collections::UnheldChangesMoment::closing;
        QMessageBox box(QMessageBox::Question, QString::fromUtf8(collections::kAppTitle),
                        QString::fromUtf8(closing ? "Датчики изменены, и эти изменения не "
                                                    "записаны ни в один файл датчиков.\nЗаписать "
                                                    "их перед выходом?"
                                                  : "Датчики изменены, и эти изменения не "
                                                    "записаны ни в один файл датчиков.\nЗаписать "
                                                    "их, прежде чем загрузить другие?"),
                        QMessageBox::NoButton, mainForm_);
        QPushButton* add =
            box.addButton(QString::fromUtf8("&Добавить в файл..."), QMessageBox::AcceptRole);
        QPushButton* leave = box.addButton(
            QString::fromUtf8(closing ? "&Выйти без сохранения" : "&Загрузить без сохранения"),
            QMessageBox::DestructiveRole);
        QPushButton* cancel = box.addButton(QString::fromUtf8("Отмена"), QMessageBox::RejectRole);
        box.setDefaultButton(add);
        box.setEscapeButton(cancel);
        box.setObjectName(QStringLiteral("unheldChangesBox"));
        box.exec();
        if (box.clickedButton() == add) return collections::UnheldChangesAnswer::addToFile;
        if (box.clickedButton() == leave) return collections::UnheldChangesAnswer::leave;
        return collections::UnheldChangesAnswer::cancel;
    }

  private:
    std::optional<std::string> library(const std::optional<QString>& name) const {
        if (!name || !probeFileNamePasses(mainForm_, *name)) return std::nullopt;
        return toLibraryText(*name);
    }
    QWidget* mainForm_;
    CollectionsBinding& binding_;
};

class CollectionsBinding::ViewingUi final : public collections::SurfaceViewingUi {
  public:
    explicit ViewingUi(CollectionsBinding& b) : b_(b) {}

    void hideMainForm() override { b_.w_.mainForm->hide(); }
    // The editor comes back as the active window, keyboard included, also where no window
    // manager hands out the focus.
    void showMainForm() override {
        b_.w_.mainForm->show();
        b_.w_.mainForm->raise();
        b_.w_.mainForm->activateWindow();
    }
    void createWaitBox() override { b_.waitBox_ = new TfrmModal(); }
    void setWaitBoxCloseCallback(std::function<void()> callback) override {
        if (b_.waitBox_)
            b_.waitBox_->closeCallback = [callback](TfrmModal&) {
                if (callback) callback();
            };
    }
    void showWaitBox() override {
        if (b_.waitBox_) b_.waitBox_->show();
    }
    void destroyWaitBox() override {
        delete b_.waitBox_;
        b_.waitBox_ = nullptr;
    }
    void setTimerEnabled(bool enabled) override {
        if (enabled)
            b_.w_.tmZakritModalnuyu->start();
        else
            b_.w_.tmZakritModalnuyu->stop();
    }
    std::optional<std::string> askSurfaceFileName() override {
        std::optional<QString> name = askOpenFileName(
            b_.w_.mainForm, collections::kSurfaceFileFilter, collections::kSurfaceFileExtension);
        if (!name || !passesToLibraries(b_.w_.mainForm, *name)) return std::nullopt;
        return name->toStdString();
    }
    void makeFolderCurrent(const std::string& fileName) override {
        ui::makeFolderCurrent(QString::fromStdString(fileName));
    }
    void showMessage(const std::string& text, const std::string& caption) override {
        showBox(b_.w_.mainForm, text, caption);
    }
    std::string comboText(collections::SurfaceCombo combo) override {
        QComboBox* box = this->combo(combo);
        return box ? box->currentText().toStdString() : std::string();
    }
    void setIFsPText(const std::string& text) override {
        if (b_.pages_ && b_.pages_->cbIFsP)
            b_.pages_->cbIFsP->setEditText(QString::fromStdString(text));
    }
    probe::SurfaceListing cbIFsPExit() override {
        if (!b_.pages_) return {};
        b_.pages_->modelObjects().tsObektiHide();
        return b_.pages_->modelObjects().lastListing();
    }

  private:
    QComboBox* combo(collections::SurfaceCombo c) const {
        if (!b_.pages_) return nullptr;
        switch (c) {
            case collections::SurfaceCombo::cbIIP:
                return b_.pages_->cbIIP;
            case collections::SurfaceCombo::cbIIIP:
                return b_.pages_->cbIIIP;
            case collections::SurfaceCombo::cbIIPP:
                return b_.pages_->cbIIPP;
        }
        return nullptr;
    }
    CollectionsBinding& b_;
};

CollectionsBinding::CollectionsBinding(const CollectionsWidgets& widgets,
                                       biblioteki::Biblioteki& loader,
                                       probe::ProbeSelection& selection)
    : QObject(widgets.mainForm),
      w_(widgets),
      fileUi_(std::make_unique<FileUi>(widgets.mainForm, *this)),
      viewingUi_(std::make_unique<ViewingUi>(*this)),
      libraries_(loader) {
    setObjectName(QStringLiteral("collectionsBinding"));
    // The loader binds the probe store later (on creating the window): its batch entries are
    // looked up when a command runs.
    files_ = std::make_unique<collections::ProbeFileCommands>(
        loader.probeStore(), selection, activePage_, *fileUi_,
        [&loader] { return probefiles::extrasOf(loader); });
    viewing_ = std::make_unique<collections::SurfaceViewing>(libraries_, selection, *viewingUi_);
    if (w_.pnlGlavnaya && w_.pnlNazvanie) {
        titleWidgets_ = new QtTitlePanel(w_.pnlGlavnaya, w_.pnlNazvanie,
                                         [this] { title_->pnlNazvanieClick(); });
        title_ = std::make_unique<title::TitlePanel>(*titleWidgets_);
    }
}

CollectionsBinding::~CollectionsBinding() {
    // A viewing still in progress when the program ends: the box has no owner to free it.
    delete waitBox_;
}

CollectionsBinding* CollectionsBinding::of(QObject* mainForm) {
    return mainForm
               ? mainForm->findChild<CollectionsBinding*>(QString(), Qt::FindDirectChildrenOnly)
               : nullptr;
}

bool CollectionsBinding::loadProbeFile(const QString& path) {
    // A missing file, a folder and the like are the probe-file client's to tell.
    const QString name = QFileInfo(path).absoluteFilePath();
    if (!probeFileNamePasses(w_.mainForm, name)) return false;
    return files_->loadFile(toLibraryText(name));
}

void CollectionsBinding::setPages(ProbePages* pages) {
    activePage_.binding = this;
    pages_ = pages;
    activePage_.target = pages;
}

}  // namespace ui

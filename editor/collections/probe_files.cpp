#include "editor/collections/probe_files.h"

#include <vector>

#include "editor/probe/surface_files.h"
#include "platform/cp1251.h"

namespace collections {

namespace {

// A text cell as UTF-8; null reads as empty.
std::string text(const Stroka& cell) {
    return cell.text ? platform::cp1251ToUtf8(cell.text) : std::string();
}

}  // namespace

bool isProbeFileName(const std::string& fileName) {
    if (fileName.size() < 3) return false;
    const std::string tail = fileName.substr(fileName.size() - 3);
    return tail[0] == '.' && (tail[1] == 'd' || tail[1] == 'D') &&
           (tail[2] == 't' || tail[2] == 'T');
}

probefiles::Result<probefiles::FileName> clientFileName(const std::string& fileName) {
    return probefiles::nameOf(platform::cp1251ToUtf8(fileName));
}

std::string ProbeFileCommands::noReadableProbeMessage(const std::string& fileName,
                                                      std::uint32_t records,
                                                      const std::string& reason) {
    std::string text = "В файле «" + platform::cp1251ToUtf8(fileName) +
                       "» нет датчиков, которые можно прочитать.\n";
    if (records > 0) text += "Записей в файле: " + std::to_string(records) + ", прочитано: 0.\n";
    if (!reason.empty()) text += reason + "\n";
    return text + "Датчики в редакторе не изменены.";
}

ProbeFileCommands::ProbeFileCommands(const contracts::ProbeStoreApi& store,
                                     probe::ProbeSelection& selection, probe::ActivePage& page,
                                     ProbeFileUi& ui,
                                     std::function<probefiles::StoreExtras()> extras)
    : store_(store), extras_(std::move(extras)), selection_(selection), page_(page), ui_(ui) {}

std::unique_ptr<probefiles::ProbeFiles> ProbeFileCommands::client() const {
    return std::make_unique<probefiles::ProbeFiles>(
        store_, extras_ ? extras_() : probefiles::StoreExtras{});
}

// Records and probes are numbered from 1 wherever a person reads them, as probetool numbers
// them; the same probe reads the same in both lists.
std::string ProbeFileCommands::loadLine(std::uint32_t i, const ProbeRecord& record) {
    return std::to_string(std::uint64_t{i} + 1) + ": " + text(record.Proizvoditel) + " " +
           text(record.Model) + " (" + text(record.Nazvanie) + ")";
}

std::string ProbeFileCommands::loadFailureLine(std::uint32_t i) {
    return std::to_string(std::uint64_t{i} + 1) + ": " + kUnreadableRecordText;
}

std::string ProbeFileCommands::choiceLine(std::uint32_t i, const ProbeRecord& record) {
    return loadLine(i, record);
}

void ProbeFileCommands::reselect() {
    store_.VibratDatchikPoIndeksu(selection_.currentIndex);
    selection_.current = store_.PoluchitVibranniyDatchik();
}

void ProbeFileCommands::miZagruzitClick() {
    // A field is stored when it is left, and opening a menu leaves none: without this store the
    // page load at the end would throw away what the user typed last, also after a cancel.
    page_.storeActivePage();
    if (std::optional<std::string> fileName = ui_.askOpenFileName()) loadChosenFile(*fileName);
    page_.loadActivePage();
}

bool ProbeFileCommands::loadFile(const std::string& fileName) {
    page_.storeActivePage();
    const bool replaced = loadChosenFile(fileName);
    page_.loadActivePage();
    return replaced;
}

bool ProbeFileCommands::loadChosenFile(const std::string& fileName) {
    const std::unique_ptr<probefiles::ProbeFiles> files = client();
    RecordSelectionModel dialog;
    // What the client said of the file, or of its first record that does not load: the box
    // shown when nothing can be chosen says it.
    std::optional<probefiles::Error> problem;
    std::optional<probefiles::OpenedFile> opened;
    if (files->loadError()) {
        problem = *files->loadError();
    } else if (auto name = clientFileName(fileName); !name) {
        problem = name.error();
    } else if (auto file = files->open(*name); !file) {
        problem = file.error();
    } else {
        opened = std::move(*file);
    }
    const std::uint32_t n = opened ? opened->count : 0;

    // Preview: every record of the file passes through the store's scratch record, apart from
    // the collection, so line j always stands for record j of the file.
    std::uint32_t readable = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        const auto record = files->read(*opened, i);
        if (record) {
            dialog.addLine(loadLine(i, **record));
            ++readable;
        } else {
            dialog.addLine(loadFailureLine(i));
            if (!problem) problem = record.error();
        }
    }
    dialog.bnVidelitVseClick();
    dialog.setFocusedPosition(0);

    // A file that gives no record (empty, damaged, or not a probe file at all) offers nothing to
    // choose: the collection is kept instead of being replaced by nothing or by empty slots, so
    // that unsaved probes are not lost, and the user is told why. Where some records can be
    // read, the dialog shows the failures and the user decides.
    bool confirmed = readable > 0;
    if (!confirmed) {
        ui_.showMessage(
            noReadableProbeMessage(fileName, n, problem ? probefiles::messageOf(*problem) : ""),
            kAppTitle);
    } else if (n > 1) {
        dialog.setLoadMode(true);
        confirmed = ui_.runSelectionDialog(dialog) == kResultChosen;
    }
    // A choice of no line would leave an empty editor: it replaces nothing.
    if (dialog.selectedCount() == 0) confirmed = false;
    if (confirmed) {
        // The probes being edited come back before the question, which may add them to a file.
        reselect();
        confirmed = mayDropChanges(UnheldChangesMoment::replacing);
    }

    if (confirmed) {
        const std::uint32_t m = dialog.selectedCount();
        selection_.probeCount = m;
        // The re-allocation releases the records the current pointer may point into.
        selection_.current = nullptr;
        if (isTrue(store_.VidelitPamyatDlyaDatchikov(m, 0))) {
            std::uint32_t k = 0;
            for (std::uint32_t j = 0; j < n; ++j) {
                if (!dialog.isSelected(j)) continue;
                const bool selected = isTrue(store_.VibratDatchikPoIndeksu(k));
                ++k;
                // A record that does not load now leaves the slot as the allocation made it;
                // the preview has shown which records do not load.
                if (selected) (void)files->readIntoSelected(*opened, j);
            }
        }
        // Surface files the probes name without a folder lie beside this file.
        selection_.loadedFromFolder = probe::folderOf(fileName);
        ui_.makeFolderCurrent(fileName);
        ++generation_;
    }

    // Unsigned on purpose: an empty collection gives the all-ones index, which the store answers
    // with no record.
    if (selection_.currentIndex >= selection_.probeCount)
        selection_.currentIndex = selection_.probeCount - 1;
    reselect();
    if (confirmed) {
        takeCollectionAsHeld();
        collectionFile_ = fileName;
        ui_.fileUsed(fileName);
        ui_.showStatus("Из файла " + platform::cp1251ToUtf8(fileName) +
                       " загружено датчиков: " + std::to_string(selection_.probeCount));
    }
    return confirmed;
}

void ProbeFileCommands::takeCollectionAsHeld() {
    held_ = collectionContents();
    changedProbes_.clear();
}

std::vector<probe::ProbeContents> ProbeFileCommands::collectionContents() {
    std::vector<probe::ProbeContents> all;
    for (std::uint32_t i = 0; i < selection_.probeCount; ++i) {
        const ProbeRecord* record =
            isTrue(store_.VibratDatchikPoIndeksu(i)) ? store_.PoluchitVibranniyDatchik() : nullptr;
        all.push_back(record ? probe::contentsOf(*record) : probe::ProbeContents{});
    }
    reselect();
    return all;
}

bool ProbeFileCommands::noteCurrentProbe() {
    const std::uint32_t i = selection_.currentIndex;
    if (selection_.current && i < held_.size()) {
        if (probe::contentsOf(*selection_.current) == held_[i])
            changedProbes_.erase(i);
        else
            changedProbes_.insert(i);
    }
    return !changedProbes_.empty() || held_.size() != selection_.probeCount;
}

bool ProbeFileCommands::hasUnheldChanges() {
    return collectionContents() != held_;
}

bool ProbeFileCommands::mayClose() {
    page_.storeActivePage();
    return mayDropChanges(UnheldChangesMoment::closing);
}

bool ProbeFileCommands::mayDropChanges(UnheldChangesMoment moment) {
    if (!hasUnheldChanges()) return true;
    switch (ui_.askUnheldChanges(moment)) {
        case UnheldChangesAnswer::addToFile:
            miSohranitClick();
            return !hasUnheldChanges();
        case UnheldChangesAnswer::leave:
            return true;
        case UnheldChangesAnswer::cancel:
            break;
    }
    return false;
}

void ProbeFileCommands::miVibratDatchikClick() {
    // What the user typed last reaches the probe being left (see miZagruzitClick).
    page_.storeActivePage();
    if (selection_.probeCount <= 1) {
        page_.loadActivePage();
        return;
    }
    RecordSelectionModel dialog;
    // Slot of each line: a slot that cannot be selected gets no line, so positions and slots
    // may part; the chosen line must still select the slot it names.
    std::vector<std::uint32_t> slotOfLine;
    for (std::uint32_t i = 0; i < selection_.probeCount; ++i) {
        if (!isTrue(store_.VibratDatchikPoIndeksu(i))) continue;
        selection_.current = store_.PoluchitVibranniyDatchik();
        if (!selection_.current) continue;
        dialog.addLine(choiceLine(i, *selection_.current));
        slotOfLine.push_back(i);
    }
    // The current probe is the line offered first.
    int currentLine = 0;
    for (std::size_t line = 0; line < slotOfLine.size(); ++line)
        if (slotOfLine[line] == selection_.currentIndex) currentLine = static_cast<int>(line);
    dialog.setFocusedPosition(currentLine);
    dialog.setLoadMode(false);
    if (ui_.runSelectionDialog(dialog) == kResultChosen) {
        const int p = dialog.focusedPosition();
        std::uint32_t index = 0xFFFFFFFFu;  // no focused line
        if (p >= 0 && static_cast<std::size_t>(p) < slotOfLine.size())
            index = slotOfLine[static_cast<std::size_t>(p)];
        selection_.currentIndex = index;
        if (selection_.currentIndex >= selection_.probeCount)
            selection_.currentIndex = selection_.probeCount - 1;
    }
    reselect();
    page_.loadActivePage();
}

}  // namespace collections

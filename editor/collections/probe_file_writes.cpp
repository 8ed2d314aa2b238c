// The two commands that add probes to a probe file, through the probe-file client: its checks of
// the target (no probe file, a damaged header that takes no appends, a name outside cp1251) come
// before anything is written, and its error text is what the box says.
#include <vector>

#include "editor/collections/probe_files.h"
#include "platform/cp1251.h"

namespace collections {

namespace {

// A slot of the collection that the store does not hand out: nothing of it can be written.
std::string missingSlotMessage(std::uint32_t slot) {
    return "Датчика " + std::to_string(std::uint64_t{slot} + 1) +
           " нет в памяти библиотеки probestore.dll";
}

}  // namespace

void ProbeFileCommands::miSohranitClick() {
    page_.storeActivePage();
    if (std::optional<std::string> fileName = ui_.askSaveFileName()) {
        const std::unique_ptr<probefiles::ProbeFiles> files = client();
        const std::optional<std::string> failure = writeCollection(*files, *fileName);
        reselect();
        if (!failure) {
            ui_.makeFolderCurrent(*fileName);
            takeCollectionAsHeld();
            collectionFile_ = *fileName;
            reportAdded(*files, selection_.probeCount, *fileName);
        } else {
            ui_.showMessage(notWrittenMessage(*fileName, *failure), kAppTitle);
        }
    } else {
        reselect();
    }
    page_.loadActivePage();
}

std::optional<std::string> ProbeFileCommands::writeCollection(probefiles::ProbeFiles& files,
                                                              const std::string& fileName) {
    const std::uint32_t count = selection_.probeCount;
    if (count == 0) return std::nullopt;
    if (files.loadError()) return probefiles::messageOf(*files.loadError());
    const auto name = clientFileName(fileName);
    if (!name) return probefiles::messageOf(name.error());

    // Every slot is selected in turn; the records stay where the store keeps them (a selection
    // moves no record).
    if (files.store().hasBatches()) {
        std::vector<const ProbeRecord*> records;
        for (std::uint32_t i = 0; i < count; ++i) {
            const ProbeRecord* record = isTrue(store_.VibratDatchikPoIndeksu(i))
                                            ? store_.PoluchitVibranniyDatchik()
                                            : nullptr;
            if (record == nullptr) return missingSlotMessage(i);
            records.push_back(record);
        }
        if (auto e = files.appendAll(*name, records)) return probefiles::messageOf(*e);
        return std::nullopt;
    }

    // A store without batches takes the probes one by one: those before a failure stay in the
    // file, and none after it is written.
    std::optional<std::string> failure;
    std::uint32_t written = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const bool selected = isTrue(store_.VibratDatchikPoIndeksu(i));
        if (failure) continue;
        const ProbeRecord* record = selected ? store_.PoluchitVibranniyDatchik() : nullptr;
        if (record == nullptr)
            failure = missingSlotMessage(i);
        else if (auto e = files.append(*name, *record))
            failure = probefiles::messageOf(*e);
        else
            ++written;
    }
    if (failure && written > 0)
        *failure += "\nДо этой ошибки в файл добавлены датчики 1–" + std::to_string(written) +
                    " из " + std::to_string(count) + ".";
    return failure;
}

void ProbeFileCommands::miSohranitOdinClick() {
    // Without a current probe the store would write whatever record it has selected, a blank
    // one or none.
    if (selection_.current == nullptr || selection_.currentIndex >= selection_.probeCount) {
        ui_.showMessage(kNoCurrentProbeMessage, kAppTitle);
        return;
    }
    page_.storeActivePage();
    if (std::optional<std::string> fileName = ui_.askSaveFileName()) {
        const std::unique_ptr<probefiles::ProbeFiles> files = client();
        if (const std::optional<std::string> failure = writeCurrent(*files, *fileName)) {
            ui_.showMessage(notWrittenMessage(*fileName, *failure), kAppTitle);
        } else {
            ui_.makeFolderCurrent(*fileName);
            if (selection_.current && selection_.currentIndex < held_.size()) {
                held_[selection_.currentIndex] = probe::contentsOf(*selection_.current);
                changedProbes_.erase(selection_.currentIndex);
            }
            reportAdded(*files, 1, *fileName);
        }
    }
    page_.loadActivePage();
}

std::optional<std::string> ProbeFileCommands::writeCurrent(probefiles::ProbeFiles& files,
                                                           const std::string& fileName) {
    if (files.loadError()) return probefiles::messageOf(*files.loadError());
    const auto name = clientFileName(fileName);
    if (!name) return probefiles::messageOf(name.error());
    // The current probe is the store's selected record: it is written as it is, without a
    // selection.
    if (auto e = files.append(*name, *selection_.current)) return probefiles::messageOf(*e);
    return std::nullopt;
}

std::string ProbeFileCommands::notWrittenMessage(const std::string& fileName,
                                                 const std::string& reason) {
    std::string text =
        std::string(kNotAllWrittenMessage) + " «" + platform::cp1251ToUtf8(fileName) + "»";
    return text + (reason.empty() ? "." : ":\n" + reason);
}

std::string ProbeFileCommands::addedMessage(std::uint32_t written, const std::string& fileName,
                                            std::uint32_t records) {
    // The whole name: files of one name in different folders are told apart.
    const std::string name = platform::cp1251ToUtf8(fileName);
    const std::string what = written == 1
                                 ? "Датчик добавлен в файл "
                                 : "Датчики (" + std::to_string(written) + ") добавлены в файл ";
    return what + name + ": записей в файле " + std::to_string(records);
}

void ProbeFileCommands::reportAdded(probefiles::ProbeFiles& files, std::uint32_t written,
                                    const std::string& fileName) {
    ui_.fileUsed(fileName);
    std::uint32_t records = 0;
    if (const auto name = clientFileName(fileName); name && !files.loadError())
        if (const auto opened = files.open(*name)) records = opened->count;
    ui_.showStatus(addedMessage(written, fileName, records));
}

}  // namespace collections

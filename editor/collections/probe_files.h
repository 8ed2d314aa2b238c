// The four probe file commands of the main menu: add the current probe or every probe to a probe
// file, load a chosen subset of a probe file as the new collection, and choose the current probe.
// They work on the shared probe selection through the probe store's entry points and read and
// write probe files through the probe-file client, whose error texts (messageOf) the boxes show;
// the file dialogs, the message box and the record selection dialog are injected, so that the
// commands run without a window.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "abi/probe_record.h"
#include "abi/probestore.h"
#include "editor/collections/record_selection_model.h"
#include "editor/probe/page.h"
#include "editor/probe/selection.h"
#include "probe_core/files/probe_files.h"
#include "probe_core/record/probe_contents.h"

namespace collections {

inline constexpr const char* kAppTitle = "Редактор ЖУВ";
inline constexpr const char* kNotAllWrittenMessage =
    "Все или отдельные датчики не были записаны в файл";
inline constexpr const char* kUnreadableRecordText = "Ошибка при загрузке";
// dlgSohranit and dlgZagruzit: filter entries separated by '|', default extension.
inline constexpr const char* kProbeFileFilter = "Датчики (*.dt)|*.dt|Все файлы (*.*)|*.*";
inline constexpr const char* kProbeFileExtension = "dt";

inline constexpr const char* kNoCurrentProbeMessage =
    "Нет текущего датчика: добавлять в файл нечего. Загрузите датчики из файла.";

// The answer to closing, or to replacing the collection, while it has changes no probe file
// holds.
enum class UnheldChangesAnswer { addToFile, leave, cancel };
// Why the collection is about to go: the program closes, or a load replaces it.
enum class UnheldChangesMoment { closing, replacing };

// What the commands need of the user interface. Texts shown to the user are UTF-8; file names
// come back as the libraries take them (NUL-free cp1251 bytes, see ui::toLibraryText).
class ProbeFileUi {
  public:
    virtual ~ProbeFileUi() = default;
    // dlgSohranit: the confirmed full file name, or nothing when the user cancelled.
    virtual std::optional<std::string> askSaveFileName() = 0;
    // dlgZagruzit: likewise.
    virtual std::optional<std::string> askOpenFileName() = 0;
    // A modal box with an OK button and no icon.
    virtual void showMessage(const std::string& text, const std::string& caption) = 0;
    // The folder of a file that a command has just written or read makes the current one: the
    // next file dialog opens there. A dialog's choice alone does not, so a folder where the
    // command failed is not offered again. `fileName` as the dialogs return it.
    virtual void makeFolderCurrent(const std::string& fileName) = 0;
    // Shows the record selection dialog modally over `dialog` (owner: the main form), keeps the
    // user's marks and focus in it and returns the modal result (kResultChosen or
    // kResultCancelled).
    virtual int runSelectionDialog(RecordSelectionModel& dialog) = 0;

    // A one-line report of what a command did (UTF-8), for the status line.
    virtual void showStatus(const std::string& text) { (void)text; }
    // A probe file was read or written (`fileName` as the dialogs return it): for the list of
    // recent files.
    virtual void fileUsed(const std::string& fileName) { (void)fileName; }
    // The program is closing, or a load is about to replace the collection, while it has
    // changes no probe file holds.
    virtual UnheldChangesAnswer askUnheldChanges(UnheldChangesMoment moment) {
        (void)moment;
        return UnheldChangesAnswer::leave;
    }
};

// A file name as the dialogs return it (cp1251) as the probe-file client takes it.
probefiles::Result<probefiles::FileName> clientFileName(const std::string& fileName);

// Whether a file name is a probe file's by its extension (".dt", in any case).
bool isProbeFileName(const std::string& fileName);

class ProbeFileCommands {
  public:
    // `extras` finds the store's entries beyond its table (batches) when a command runs: the
    // loader binds the store after the commands are made. Without it the store has no batches.
    ProbeFileCommands(const contracts::ProbeStoreApi& store, probe::ProbeSelection& selection,
                      probe::ActivePage& page, ProbeFileUi& ui,
                      std::function<probefiles::StoreExtras()> extras = {});

    // "Датчики" / "Добавить в файл...": appends probes 0 .. count-1 to a file, all of them or
    // none through the store's batch; a store without batches takes them one by one and stops
    // at the first failure.
    void miSohranitClick();
    // "Датчик" / "Добавить в файл...": appends the current probe to a file.
    void miSohranitOdinClick();
    // "Датчики" / "Загрузить из файла...": replaces the collection by records chosen from a file.
    // A file that gives no record is reported and the collection is kept; so is a choice of no
    // line. Changes no file holds are asked about before they go.
    void miZagruzitClick();
    // "Датчик" / "Выбрать": makes another probe of the collection the current one.
    void miVibratDatchikClick();
    // Loads the collection from a named file as "Загрузить из файла..." does after its dialog
    // (the command line, the recent files, a dropped file). Returns whether the collection was
    // replaced.
    bool loadFile(const std::string& fileName);

    // Change tracking: which contents of the collection some probe file holds. The collection as
    // it is now counts as held (at start, the one empty probe).
    void takeCollectionAsHeld();
    // Compares the current probe with what a file holds of it; the answer covers the whole
    // collection, as far as its other probes were compared when they were current.
    bool noteCurrentProbe();
    // Compares every probe of the collection with what a file holds.
    bool hasUnheldChanges();
    // Closing: stores the active page and, when the collection has changes no file holds, asks
    // whether to add them to a file first. Returns whether the program may close.
    bool mayClose();
    // Counts the replacements of the collection by a load: what was done to the one before
    // cannot be undone in the new one.
    std::uint64_t collectionGeneration() const { return generation_; }
    // The probe file (cp1251) the collection was loaded from or last added to in full; empty
    // while there is none.
    const std::string& collectionFile() const { return collectionFile_; }
    // The status line after adding `written` probes to `fileName` (cp1251), which then holds
    // `records` records.
    static std::string addedMessage(std::uint32_t written, const std::string& fileName,
                                    std::uint32_t records);

    // The list lines (UTF-8), alike when loading and when choosing: "n: manufacturer model
    // (name)", n counted from 1 (record or slot i is n = i + 1).
    static std::string loadLine(std::uint32_t i, const ProbeRecord& record);
    static std::string loadFailureLine(std::uint32_t i);
    static std::string choiceLine(std::uint32_t i, const ProbeRecord& record);
    // The box after a failed write to `fileName` (cp1251) with the client's `reason` (UTF-8).
    static std::string notWrittenMessage(const std::string& fileName, const std::string& reason);
    // The box for a file (cp1251 name) of `records` records none of which could be read, with
    // the client's `reason` (UTF-8, empty for none).
    static std::string noReadableProbeMessage(const std::string& fileName, std::uint32_t records,
                                              const std::string& reason = {});

  private:
    // The probe store selects the current probe index again and the current record is fetched.
    void reselect();
    bool loadChosenFile(const std::string& fileName);
    // Asks about changes no file holds before they go; true when the caller may go on.
    bool mayDropChanges(UnheldChangesMoment moment);
    // The probe-file client over the store as it is bound now.
    std::unique_ptr<probefiles::ProbeFiles> client() const;
    // Appends the collection, or the current probe, to `fileName`; what went wrong (the client's
    // words) when it failed.
    std::optional<std::string> writeCollection(probefiles::ProbeFiles& files,
                                               const std::string& fileName);
    std::optional<std::string> writeCurrent(probefiles::ProbeFiles& files,
                                            const std::string& fileName);
    std::vector<probe::ProbeContents> collectionContents();
    void reportAdded(probefiles::ProbeFiles& files, std::uint32_t written,
                     const std::string& fileName);

    const contracts::ProbeStoreApi& store_;
    std::function<probefiles::StoreExtras()> extras_;
    probe::ProbeSelection& selection_;
    probe::ActivePage& page_;
    ProbeFileUi& ui_;
    std::vector<probe::ProbeContents> held_;
    std::set<std::uint32_t> changedProbes_;  // probes found changed when last compared
    std::string collectionFile_;
    std::uint64_t generation_ = 0;
};

}  // namespace collections

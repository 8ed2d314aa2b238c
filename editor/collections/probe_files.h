// The four probe file commands of the main menu: add the current probe or every probe to a probe
// file, load a chosen subset of a probe file as the new collection, and choose the current probe.
// They work on the shared probe selection through the probe store's entry points; the file
// dialogs, the message box and the record selection dialog are injected, so that the commands run
// without a window.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "abi/probe_record.h"
#include "abi/probestore.h"
#include "editor/collections/record_selection_model.h"
#include "editor/probe/page.h"
#include "editor/probe/selection.h"

namespace collections {

inline constexpr const char* kAppTitle = "Редактор ЖУВ";
inline constexpr const char* kNotAllWrittenMessage =
    "Все или отдельные датчики не были записаны в файл";
inline constexpr const char* kUnreadableRecordText = "Ошибка при загрузке";
// dlgSohranit and dlgZagruzit: filter entries separated by '|', default extension.
inline constexpr const char* kProbeFileFilter = "Датчики (*.dt)|*.dt|Все файлы (*.*)|*.*";
inline constexpr const char* kProbeFileExtension = "dt";

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
};

class ProbeFileCommands {
  public:
    ProbeFileCommands(const contracts::ProbeStoreApi& store, probe::ProbeSelection& selection,
                      probe::ActivePage& page, ProbeFileUi& ui);

    // "Датчики" / "Добавить в файл...": appends probes 0 .. count-1 to a file, stopping the
    // writing at the first failure.
    void miSohranitClick();
    // "Датчик" / "Добавить в файл...": appends the current probe to a file.
    void miSohranitOdinClick();
    // "Датчики" / "Загрузить из файла...": replaces the collection by records chosen from a file.
    // A file that gives no record is reported and the collection is kept.
    void miZagruzitClick();
    // "Датчик" / "Выбрать": makes another probe of the collection the current one.
    void miVibratDatchikClick();

    // The list lines (UTF-8): "i: manufacturer model (name)" when loading,
    // "i: model manufacturer (name)" when choosing.
    static std::string loadLine(std::uint32_t i, const ProbeRecord& record);
    static std::string loadFailureLine(std::uint32_t i);
    static std::string choiceLine(std::uint32_t i, const ProbeRecord& record);
    // The box for a file (cp1251 name) of `records` records none of which could be read.
    static std::string noReadableProbeMessage(const std::string& fileName, std::uint32_t records);

  private:
    // The probe store selects the current probe index again and the current record is fetched.
    void reselect();

    const contracts::ProbeStoreApi& store_;
    probe::ProbeSelection& selection_;
    probe::ActivePage& page_;
    ProbeFileUi& ui_;
};

}  // namespace collections

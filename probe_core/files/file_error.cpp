#include "probe_core/files/file_error.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace probefiles {

namespace {

// Why the system failed, in the user's words; the system's own text for the rare rest.
std::string systemReason(int error) {
    switch (error) {
        case ELOOP:
            return "символические ссылки в пути образуют петлю";
        case EACCES:
        case EPERM:
            return "нет прав доступа";
        case ENAMETOOLONG:
            return "слишком длинное имя";
        case ENOTDIR:
            return "часть пути — не папка";
        case ENOENT:
            return "не найден";
        case ENOSPC:
            return "нет места на диске";
        case EROFS:
            return "диск только для чтения";
        default:
            return "ошибка системы: " + escapeControls(std::strerror(error));
    }
}

// ": <reason>" when the system gave one.
std::string becauseOf(int error) {
    return error != 0 ? ": " + systemReason(error) : std::string();
}

// Why a file could not be written, as the store or the replacement said it; empty when neither
// said more than "failed".
std::string storeReason(contracts::ProbeFileError why) {
    using contracts::ProbeFileError;
    switch (why) {
        case ProbeFileError::kOwnerNotKept:
            return "файл принадлежит другому пользователю или группе: новый файл на его месте "
                   "сменил бы владельца, поэтому файл не заменён";
        case ProbeFileError::kNameTooLong:
            return "слишком длинное имя файла или путь";
        case ProbeFileError::kNoSpace:
            return "нет места на диске";
        case ProbeFileError::kNoRights:
            return "нет прав на запись в файл или папку";
        case ProbeFileError::kReadOnly:
            return "файловая система только для чтения";
        case ProbeFileError::kBusy:
            return "файл занят другой программой, которая в него записывает";
        case ProbeFileError::kNotProbeFile:
            return "файл не принимает записей (не файл датчиков, повреждённый заголовок или "
                   "более новая версия)";
        case ProbeFileError::kNotRegular:
            return "это не обычный файл";
        case ProbeFileError::kCannotOpen:
            return "файл не удаётся открыть (нет папки?)";
        default:
            return {};
    }
}

// The cause of a failed write: the store's word, else the system's.
std::string writeCause(const Error& e) {
    const std::string said = storeReason(e.why);
    return !said.empty() ? ": " + said : becauseOf(e.systemError);
}

}  // namespace

int errnoOf(const std::error_code& ec) {
    if (!ec) return 0;
    const std::error_condition condition = ec.default_error_condition();
    return condition.category() == std::generic_category() ? condition.value() : 0;
}

std::string escapeControls(std::string_view text, bool keepLines) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != 0x7F) {
            out += c;
        } else if (c == '\n' && keepLines) {
            out += c;
        } else if (c == '\0') {
            out += "\\0";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        }
    }
    return out;
}

std::string inQuotes(std::string_view text) {
    return "«" + escapeControls(text) + "»";
}

std::string messageOf(const Error& e) {
    const std::string file = inQuotes(e.file);
    const std::string probe = std::to_string(e.probe);
    switch (e.code) {
        case ErrorCode::kEmptyName:
            return "Пустое имя файла";
        case ErrorCode::kNameHasNul:
            return "Имя файла " + file + " содержит нулевой знак";
        case ErrorCode::kNameNotInCp1251:
            return "Имя файла " + file +
                   " содержит знаки, которых нет в кодовой странице 1251: библиотека датчиков не "
                   "сможет его открыть";
        case ErrorCode::kNotFound:
            return "Файл " + file + " не найден";
        case ErrorCode::kNotAFile:
            return file + " — не файл";
        case ErrorCode::kCannotLook:
            return "Файл " + file +
                   (e.systemError != 0 ? becauseOf(e.systemError)
                                       : ": система не сообщает, что это за файл");
        case ErrorCode::kCannotRead:
            return "Файл " + file + " не удаётся открыть для чтения" + becauseOf(e.systemError);
        case ErrorCode::kCannotWrite:
            return "Файл " + file + " не удаётся записать" + writeCause(e) + "; ничего не записано";
        case ErrorCode::kNotProbeFile:
            return file + " — не файл датчиков";
        case ErrorCode::kHeaderUnreadable:
            return "Файл " + file +
                   ": заголовок повреждён или версия файла не поддерживается, записи не читаются";
        case ErrorCode::kHeaderDamaged:
            return "Заголовок файла " + file +
                   " повреждён: записи прочитаны по их собственным контрольным суммам; добавлять "
                   "в этот файл нельзя, перенесите записи в новый файл командой salvage";
        case ErrorCode::kRecordDamaged:
            return "Запись " + probe + " файла " + file + " повреждена и не загружается";
        case ErrorCode::kNoSuchRecord:
            return "В файле " + file + " записей: " + std::to_string(e.count) + "; записи " +
                   probe + " нет";
        case ErrorCode::kNotSurfaceFile:
            return "Файл " + file +
                   " не файл поверхностей: в нём нет ни одной исправной "
                   "поверхности";
        case ErrorCode::kStoreNotLoaded:
            return e.detail.empty() ? "Библиотека probestore.dll не загружена"
                                    : escapeControls(e.detail, true);
        case ErrorCode::kStoreNoMemory:
            return "Библиотека probestore.dll не выделила память для датчика";
        case ErrorCode::kStoreNoBatches:
            return "Библиотека probestore.dll не умеет добавлять датчики одним целым: ничего не "
                   "добавлено";
        case ErrorCode::kInvalidProbe: {
            std::string line = e.file.empty() ? std::string() : escapeControls(e.file) + ": ";
            if (e.probe != 0) line += "датчик " + probe + ", ";
            if (!e.key.empty()) line += escapeControls(e.key) + ": ";
            return line + escapeControls(e.detail);
        }
        case ErrorCode::kProbeTooLarge:
            return "Датчик " + probe +
                   " не удаётся записать: его запись длиннее 64 МиБ; ничего "
                   "не добавлено";
        case ErrorCode::kAppendRefused:
            return "Датчики не удалось добавить в " + file +
                   (e.why != contracts::ProbeFileError::kNone || e.systemError != 0
                        ? writeCause(e)
                        : " (нет места на диске, нет прав или файл не принимает записей)") +
                   "; ничего не добавлено";
        case ErrorCode::kSameFile:
            return "Файл " + file +
                   " — это сам файл, из которого читаются данные: ничего не "
                   "записано";
        case ErrorCode::kTargetIsFolder:
            return file + " — папка: ничего не записано";
        case ErrorCode::kTargetExists:
            return "Файл " + file +
                   " уже есть: ничего не записано. Чтобы заменить его, "
                   "добавьте --force";
        case ErrorCode::kTargetIsProbeFile:
            return file + " — файл датчиков" + (e.detail.empty() ? "" : " (" + e.detail + ")") +
                   ": JSON поверх него не записывается (и с --force); выберите другое имя, а "
                   "записи из него можно перенести в новый файл командой salvage";
        case ErrorCode::kTargetIsSurfaceFile:
            return file + " — файл поверхностей" + (e.detail.empty() ? "" : " (" + e.detail + ")") +
                   ": поверх него ничего не записывается (и с --force); выберите другое имя";
        case ErrorCode::kTargetNotJson:
            return file +
                   " — не документ JSON и не пустой файл: он не заменяется (и с --force); "
                   "выберите другое имя или удалите этот файл сами, если он не нужен";
        case ErrorCode::kTargetNotEmpty:
            return "Файл " + file +
                   " уже есть: спасённые поверхности записываются только в "
                   "новый файл";
    }
    return "Файл " + file + ": неизвестная ошибка";
}

}  // namespace probefiles

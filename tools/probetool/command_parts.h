// What the probetool commands share: the command line's options, the client, and the printing of
// the client's errors (the messages are the client's own, from messageOf()).
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "probe_core/files/probe_files.h"
#include "tools/probetool/commands.h"

namespace probetool {

// What the command line says besides the command's files.
struct Options {
    bool force = false;  // export may replace an existing JSON file (never a probe file)
};

using Args = std::vector<std::string>;

// Prints an error's message as a line of `err` and returns the exit status it stands for.
int report(const probefiles::Error& error, std::ostream& err);
// The exit status an error stands for: kDamagedOrInvalid for what the data hold, kUsageOrFile for
// the rest.
int exitStatusOf(const probefiles::Error& error);

// A checked file name, or nothing (the error printed).
std::optional<probefiles::FileName> nameFrom(const std::string& arg, std::ostream& err);

// Opens a probe file for reading; a damaged header is reported and turns `status` to
// kDamagedOrInvalid, and the file is read on past it.
std::optional<probefiles::OpenedFile> openSource(probefiles::ProbeFiles& files,
                                                 const std::string& arg, std::ostream& err,
                                                 int& status);

// What a surface file's header hides or says wrongly (check and salvage of surface files).
void reportSurfaceHeader(const probefiles::SalvageReport& report, const std::string& shown,
                         std::ostream& out);

int exportCommand(probefiles::ProbeFiles& files, const Args& args, const Options& options,
                  std::ostream& out, std::ostream& err);
int importCommand(probefiles::ProbeFiles& files, const Args& args, const Options& options,
                  std::ostream& out, std::ostream& err);
int salvageCommand(probefiles::ProbeFiles& files, const Args& args, const Options& options,
                   std::ostream& out, std::ostream& err);

}  // namespace probetool

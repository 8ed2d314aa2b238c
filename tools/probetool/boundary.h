// The library boundary as probetool sees it: the probe record, the probe store's entry points and
// the calling convention. Every other probetool file takes them from here.
#pragma once

#include "editor/contracts/probe_record.h"
#include "editor/contracts/probestore_api.h"
#include "platform/plugin.h"

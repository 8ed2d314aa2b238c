// The library boundary as probetool sees it: the probe record, the probe store's entry points and
// the calling convention. Every other probetool file takes them from here.
#pragma once

#include "abi/plugin.h"
#include "abi/probe_record.h"
#include "abi/probestore.h"

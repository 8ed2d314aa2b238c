// A probe record that holds its own texts: its plain fields in `record`, its text and list cells
// pointing into cp1251 copies owned here, so the record reads like one the probe store hands out
// and stays valid as long as this object. Made by the JSON reader and the sample generator, and
// copied into the store with copyRecord (record_cells.h). Neither copied nor moved: the cells
// point into it.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "abi/probe_record.h"

namespace probe {

class StagedRecord {
  public:
    StagedRecord() = default;
    StagedRecord(const StagedRecord&) = delete;
    StagedRecord& operator=(const StagedRecord&) = delete;

    ProbeRecord record{};
    // An empty text leaves the cell null, as a fresh record's.
    void setText(Stroka& cell, std::string cp1251);
    void setLines(Spisok& cell, std::vector<std::string> cp1251);

  private:
    std::deque<std::string> texts_;
    std::deque<std::vector<char*>> arrays_;
};

}  // namespace probe

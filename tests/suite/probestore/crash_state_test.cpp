// Crash states of a run of saves. The writes, truncations and syncs of the saves are recorded,
// then every state a power cut could leave is built and read back: at each point of the run the
// file holds what was synced, plus any subset of the writes issued since (the disk may have taken
// them in any order), a write torn part-way, or a write whose size reached the disk before its
// bytes did; a file created since its folder was last synced may be missing. In every state each
// record acknowledged before the cut must load, and the file must take a new record that loads.
// Without the syncs the same run must lose acknowledged records, or the test proves nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/append_file.h"
#include "suite/probestore/probe_file.h"
#include "suite/probestore/probe_file_cache.h"
#include "suite/probestore/record_store.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct Op {
    enum Kind { kCreate, kWrite, kTruncate, kSync, kFolderSync, kAcknowledged } kind;
    std::uint64_t offset = 0;  // of a write; the new size of a truncation
    Bytes data;                // a write's bytes; an acknowledged record's payload
};

class Recorder : public platform::FileOpObserver {
  public:
    std::vector<Op> ops;
    void created(const fs::path&) override { ops.push_back({Op::kCreate, 0, {}}); }
    void wrote(const fs::path&, std::uint64_t offset, const void* data, std::size_t n) override {
        const auto* p = static_cast<const std::uint8_t*>(data);
        ops.push_back({Op::kWrite, offset, Bytes(p, p + n)});
    }
    void truncated(const fs::path&, std::uint64_t size) override {
        ops.push_back({Op::kTruncate, size, {}});
    }
    void synced(const fs::path&) override { ops.push_back({Op::kSync, 0, {}}); }
    void folderSynced(const fs::path&) override { ops.push_back({Op::kFolderSync, 0, {}}); }
};

void apply(Bytes& file, const Op& op, std::size_t length) {
    if (op.kind == Op::kTruncate) {
        file.resize(op.offset);
    } else if (op.kind == Op::kWrite) {
        if (file.size() < op.offset + length) file.resize(op.offset + length, 0);
        std::copy_n(op.data.begin(), length, file.begin() + static_cast<std::ptrdiff_t>(op.offset));
    }
}

struct CrashState {
    bool exists;
    Bytes bytes;
    std::string how;
};

// Every state a cut after the first `k` operations can leave.
std::vector<CrashState> crashStates(const std::vector<Op>& ops, std::size_t k) {
    Bytes durable, current;
    bool created = false, nameDurable = false;
    std::vector<Op> pending;
    for (std::size_t i = 0; i < k; ++i) {
        const Op& op = ops[i];
        if (op.kind == Op::kCreate) {
            created = true;
        } else if (op.kind == Op::kFolderSync) {
            nameDurable = created;
        } else if (op.kind == Op::kSync) {
            durable = current;
            pending.clear();
        } else if (op.kind == Op::kWrite || op.kind == Op::kTruncate) {
            apply(current, op, op.data.size());
            pending.push_back(op);
        }
    }
    std::vector<CrashState> states;
    if (!created) return states;
    if (!nameDurable) states.push_back({false, {}, "the new name lost"});
    // Any subset of the pending operations reached the disk, in the order issued.
    const std::size_t n = std::min<std::size_t>(pending.size(), 10);
    for (std::uint32_t mask = 0; mask < (1u << n); ++mask) {
        Bytes b = durable;
        for (std::size_t j = 0; j < n; ++j)
            if (mask & (1u << j)) apply(b, pending[j], pending[j].data.size());
        states.push_back({true, b, "writes " + std::to_string(mask) + " of the pending"});
    }
    // The pending operations before j reached the disk, j torn or only its size, none after.
    for (std::size_t j = 0; j < n; ++j) {
        if (pending[j].kind != Op::kWrite) continue;
        Bytes before = durable;
        for (std::size_t i = 0; i < j; ++i) apply(before, pending[i], pending[i].data.size());
        const std::size_t length = pending[j].data.size();
        for (std::size_t cut : {std::size_t{1}, length / 2, length - 1}) {
            if (cut == 0 || cut >= length) continue;
            Bytes b = before;
            apply(b, pending[j], cut);
            states.push_back({true, b, "pending write " + std::to_string(j) + " torn"});
        }
        Bytes b = before;
        b.resize(std::max<std::size_t>(b.size(), pending[j].offset + length), 0);
        states.push_back({true, b, "pending write " + std::to_string(j) + " size only"});
    }
    return states;
}

class CrashStateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        static std::atomic<int> serial{0};
        dir_ = fs::temp_directory_path() /
               ("probestore_crash_" + std::to_string(std::random_device{}()) + "_" +
                std::to_string(serial++));
        fs::create_directories(dir_);
        ASSERT_TRUE(store_.allocate(1, kProbeRecordSize32));
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A record of about `size` bytes that tells itself apart by `number`.
    Bytes payload(int number, std::size_t size) {
        texts_.push_back(std::string(size, static_cast<char>('a' + number % 26)));
        ProbeRecord r{};
        r.Cena = number;
        r.Model.text = texts_.back().data();
        return probestore::encodeRecord(r);
    }

    // The saves of one run, recorded.
    std::vector<Op> recordRun(const std::string& file) {
        Recorder recorder;
        platform::FileOpObserver* old = platform::setFileOpObserver(&recorder);
        probestore::ProbeFiles files;
        for (int i = 0; i < 4; ++i) {
            const Bytes p = payload(i, i % 2 == 0 ? 40 : 6000);
            if (files.append(file.c_str(), p)) recorder.ops.push_back({Op::kAcknowledged, 0, p});
        }
        platform::setFileOpObserver(old);
        return recorder.ops;
    }

    // The records of `file` that load, as payloads.
    std::vector<Bytes> loadable(const std::string& file) {
        probestore::ProbeFiles files;
        std::vector<Bytes> out;
        const std::uint32_t n = files.count(file.c_str());
        for (std::uint32_t i = 0; i < n; ++i) {
            ProbeRecord r;
            if (!files.load(file.c_str(), i, store_.texts(), r)) continue;
            out.push_back(probestore::encodeRecord(r));
            store_.texts().releaseRecordTexts(r);
        }
        return out;
    }

    // The faults of one crash state: acknowledged records missing, or a file that takes no new
    // record; empty when it holds.
    std::string faults(const CrashState& state, const std::vector<Bytes>& acknowledged) {
        const std::string file = (dir_ / "state.dt").string();
        fs::remove(file);
        if (state.exists) {
            std::ofstream out(file, std::ios::binary);
            out.write(reinterpret_cast<const char*>(state.bytes.data()),
                      static_cast<std::streamsize>(state.bytes.size()));
        }
        std::string found;
        std::vector<Bytes> records = loadable(file);
        // Acknowledged records load in the order written (records that were not acknowledged
        // may load too: their bytes happened to reach the disk).
        auto at = records.begin();
        for (std::size_t i = 0; i < acknowledged.size(); ++i) {
            at = std::find(at, records.end(), acknowledged[i]);
            if (at == records.end()) {
                found += "acknowledged record " + std::to_string(i) + " lost; ";
                break;
            }
            ++at;
        }
        const Bytes next = payload(99, 100);
        probestore::ProbeFiles files;
        if (!files.append(file.c_str(), next)) return found + "no append taken";
        records = loadable(file);
        if (records.empty() || records.back() != next) found += "the new record does not load";
        return found;
    }

    // Explores every crash point of a run; returns the number of states that lose something.
    int explore(const std::vector<Op>& ops, std::string& firstFault) {
        int bad = 0;
        for (std::size_t k = 0; k <= ops.size(); ++k) {
            std::vector<Bytes> acknowledged;
            for (std::size_t i = 0; i < k; ++i)
                if (ops[i].kind == Op::kAcknowledged) acknowledged.push_back(ops[i].data);
            for (const CrashState& state : crashStates(ops, k)) {
                const std::string f = faults(state, acknowledged);
                if (f.empty()) continue;
                if (bad++ == 0)
                    firstFault = "cut after " + std::to_string(k) + " ops, " + state.how + ": " + f;
            }
        }
        return bad;
    }

    fs::path dir_;
    probestore::RecordStore store_;
    std::vector<std::string> texts_;
};

TEST_F(CrashStateTest, EveryAcknowledgedSaveSurvivesEveryCrashStateAndTheFileStaysAppendable) {
    const std::vector<Op> ops = recordRun((dir_ / "run.dt").string());
    ASSERT_EQ(std::count_if(ops.begin(), ops.end(),
                            [](const Op& op) { return op.kind == Op::kAcknowledged; }),
              4);
    std::string fault;
    EXPECT_EQ(explore(ops, fault), 0) << fault;

    // The same run as a store that never syncs would leave it: states that lose records exist.
    std::vector<Op> unsynced;
    std::copy_if(ops.begin(), ops.end(), std::back_inserter(unsynced),
                 [](const Op& op) { return op.kind != Op::kSync && op.kind != Op::kFolderSync; });
    EXPECT_GT(explore(unsynced, fault), 0);
}

}  // namespace

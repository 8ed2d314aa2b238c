// Writer processes for the stress tests: started one after another, held at a gate (their
// standard input) until every one is running, then let go together; each writes what it reports
// to a file of its own. Starting them is POSIX only; the writers' side builds everywhere.
#pragma once

#include <cstdio>

#if !defined(_WIN32)

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern char** environ;

namespace stresstest {

class WriterProcesses {
  public:
    WriterProcesses() {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) == 0) {
            gateRead_ = ends[0];
            gateWrite_ = ends[1];
        }
    }
    WriterProcesses(const WriterProcesses&) = delete;
    WriterProcesses& operator=(const WriterProcesses&) = delete;
    ~WriterProcesses() {
        release();
        wait();
    }

    // Starts `program` with `arguments`, its standard output going to `output`.
    bool start(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& output) {
        if (gateRead_ < 0) return false;
        std::vector<std::string> all{program};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, gateRead_, 0);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        pid_t pid = 0;
        const int r = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (r != 0) return false;
        pids_.push_back(pid);
        return true;
    }

    // Opens the gate: every writer started so far goes on.
    void release() {
        for (int* end : {&gateWrite_, &gateRead_}) {
            if (*end >= 0) ::close(*end);
            *end = -1;
        }
    }

    // Waits for every writer; true when each exited with status 0.
    bool wait() {
        bool ok = true;
        for (pid_t pid : pids_) {
            int status = 0;
            ok = ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
                 WEXITSTATUS(status) == 0 && ok;
        }
        pids_.clear();
        return ok;
    }

  private:
    int gateRead_ = -1;
    int gateWrite_ = -1;
    std::vector<pid_t> pids_;
};

// What a writer reported: one "number result" line per append, result 1 when it was
// acknowledged.
inline std::vector<std::pair<int, int>> reports(const std::string& output) {
    std::ifstream in(output);
    std::vector<std::pair<int, int>> out;
    for (int number = 0, result = 0; in >> number >> result;) out.emplace_back(number, result);
    return out;
}

// What writer processes reported: the numbers each acknowledged, in its order, and what went
// wrong.
struct WriterRun {
    std::vector<std::vector<int>> acknowledged;
    std::vector<std::string> problems;  // empty when every append of every writer was acknowledged
};

// Runs `writers` copies of `program` (arguments: `file`, the writer's number, `count`), released
// together; their reports go to files in `folder`.
inline WriterRun runWriters(const std::string& program, const std::string& file, int writers,
                            int count, const std::string& folder) {
    WriterRun run;
    run.acknowledged.resize(static_cast<std::size_t>(writers));
    std::vector<std::string> outputs;
    {
        WriterProcesses processes;
        for (int w = 0; w < writers; ++w) {
            outputs.push_back(folder + "/writer" + std::to_string(w) + ".txt");
            if (!processes.start(program, {file, std::to_string(w), std::to_string(count)},
                                 outputs.back()))
                run.problems.push_back("cannot start " + program);
        }
        processes.release();
        if (!processes.wait()) run.problems.push_back("a writer did not end well");
    }
    for (int w = 0; w < writers; ++w) {
        const auto reported = reports(outputs[static_cast<std::size_t>(w)]);
        if (reported.size() != static_cast<std::size_t>(count))
            run.problems.push_back("writer " + std::to_string(w) + " reported " +
                                   std::to_string(reported.size()) + " appends");
        for (const auto& [number, result] : reported) {
            if (result == 1)
                run.acknowledged[static_cast<std::size_t>(w)].push_back(number);
            else
                run.problems.push_back("writer " + std::to_string(w) + ": append " +
                                       std::to_string(number) + " refused");
        }
    }
    return run;
}

}  // namespace stresstest

#endif

namespace stresstest {

// A writer waits here until the gate opens (its standard input ends).
inline void waitAtGate() {
    char buffer[64];
    while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
    }
}

}  // namespace stresstest

#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace quarlino::quil::e2e {

// Called with all of standard output so far, each time more of it arrives.
using OutputWatcher = std::function<void(const std::string& out)>;

struct ProcessRequest {
    std::string program;                             // a path; PATH is not searched
    std::vector<std::string> arguments;              // after the program name
    std::map<std::string, std::string> environment;  // the child's whole environment
    std::string input;                               // standard input, then end of file
    OutputWatcher onOutput = {};                     // optional
    // Standard input as a pipe left non-blocking (as some producers leave
    // it) that stays empty for half a second before `input` (one pipe
    // buffer at most) comes.
    bool inputComesLate = false;
};

struct ProcessResult {
    int exitCode = -1;  // -1 when the child did not exit normally
    int signal = 0;     // the terminating signal, if any
    long peakResidentKilobytes = 0;  // the most memory the child held at once
    std::string out;
    std::string err;
};

// Runs the program to completion, capturing both output streams; throws
// std::runtime_error when the child cannot be started.
ProcessResult runProcess(const ProcessRequest& request);

}  // namespace quarlino::quil::e2e

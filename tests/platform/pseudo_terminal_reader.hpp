#pragma once

#include <string>

#include <sys/types.h>
#include <termios.h>

namespace platformtest {

// Runs the real secret reader in a process of its own whose standard streams
// are a fresh pseudo-terminal, as the foreground job of a session led by a
// small supervisor, so that Ctrl-C, Ctrl-Z and the rest behave as they do at
// a shell. The reader's standard input notes whether echo was on when the
// read began. The constructor returns once the reader waits for input.
class PseudoTerminalReader {
public:
    static constexpr const char* prompt = "Password: ";

    PseudoTerminalReader();
    ~PseudoTerminalReader();

    PseudoTerminalReader(const PseudoTerminalReader&) = delete;
    PseudoTerminalReader& operator=(const PseudoTerminalReader&) = delete;

    // Keys typed at the terminal.
    void type(const std::string& keys) const;
    void signal(int number) const;
    // The reader's next wait status (a stop, or its end); -1 when none comes.
    int nextStatus();
    // Waits until the terminal hides input again; false when it never does.
    bool awaitHidden() const;

    tcflag_t localModes() const;
    tcflag_t initialLocalModes() const { return initialLocalModes_; }
    // What the reader wrote once the secret reader returned: "line:" or
    // "error:", whether echo was on during the read and the SIGINT handler
    // left behind. Empty when it died first.
    std::string report() const;
    // Everything the terminal showed so far.
    std::string terminalOutput() const;

private:
    int master_ = -1;
    int slave_ = -1;
    int reportFd_ = -1;
    int statusFd_ = -1;
    pid_t supervisor_ = -1;
    pid_t reader_ = -1;
    tcflag_t initialLocalModes_ = 0;
    bool ended_ = false;
};

}  // namespace platformtest

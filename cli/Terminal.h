#pragma once
#include <QString>

#include <optional>

namespace qzr::cli {

// Where a command asks the user a question: the terminal on standard input.
// Tests hand run() a scripted one.
class Terminal
{
public:
    virtual ~Terminal() = default;

    // Whether a person can answer: standard input is a terminal.
    virtual bool isInteractive() const = 0;

    // One line typed by the user, without its line end; nothing at the end
    // of the input.
    virtual std::optional<QString> readLine() = 0;
};

// The process's standard input.
Terminal &standardInput();

} // namespace qzr::cli

#include "cli/Terminal.h"

#include <QByteArray>

#include <cstdio>
#include <unistd.h>

namespace qzr::cli {

namespace {

class StandardInput : public Terminal
{
public:
    bool isInteractive() const override { return ::isatty(STDIN_FILENO) == 1; }

    std::optional<QString> readLine() override
    {
        QByteArray line;
        int c = 0;
        while ((c = std::fgetc(stdin)) != EOF && c != '\n')
            line += char(c);
        if (c == EOF && line.isEmpty())
            return std::nullopt;
        if (line.endsWith('\r'))
            line.chop(1);
        return QString::fromLocal8Bit(line);
    }
};

} // namespace

Terminal &standardInput()
{
    static StandardInput input;
    return input;
}

} // namespace qzr::cli

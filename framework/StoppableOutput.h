#pragma once
// The program's standard output, written so that a stop signal is heard while it waits: while a
// TStoppableOutput lives, std::cout writes to descriptor 1 through WriteUnlessStopped (Linux), so
// a watch whose reader has stopped reading (a full pipe, a terminal on hold) still ends on the
// first SIGINT or SIGTERM. What a stop cut short is dropped, never written later. Nothing changes
// on Windows (StoppableOutputWindows.cpp).

#include <memory>
#include <streambuf>

namespace framework {

class TStoppableOutput {
public:
    TStoppableOutput();
    ~TStoppableOutput();
    TStoppableOutput(const TStoppableOutput&) = delete;
    TStoppableOutput& operator=(const TStoppableOutput&) = delete;

private:
    std::unique_ptr<std::streambuf> buffer_;
    std::streambuf* previous_ = nullptr;
};

} // namespace framework

#include "framework/StoppableOutput.h"

namespace framework {

TStoppableOutput::TStoppableOutput() = default;
TStoppableOutput::~TStoppableOutput() = default;

} // namespace framework

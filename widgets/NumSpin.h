#pragma once
// The numeric spin field and its two button kinds: include this header to use
// any of them.

#include "widgets/NumSpinButton.h"
#include "widgets/NumSpinEdit.h"
#include "widgets/NumSpinTypes.h"
#include "widgets/NumUpDown.h"

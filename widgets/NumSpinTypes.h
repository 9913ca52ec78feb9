#pragma once
// The enumerations shared by the numeric spin field and its buttons.

enum TValueType { vtInteger = 0, vtFloat = 1, vtHex = 2 };

enum TAlignment { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };

enum TSpinButtonKind { bkStandard = 0, bkDiagonal = 1 };

enum TUDBtnType { btNext = 0, btPrev = 1 };

enum TNumSpinButtonState { NotPressed = 0, TopPressed = 1, BottomPressed = 2 };

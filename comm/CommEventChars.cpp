#include <stdexcept>

#include "comm/CommInt.h"

TCommEventChars::TCommEventChars(TCustomComm* owner) : FOwner(owner) {}

void TCommEventChars::SetByIndex(int index, char value) {
    switch (index) {
    case 1: FXonChar = value; break;
    case 2: FXoffChar = value; break;
    case 3: FErrorChar = value; break;
    case 4: FEofChar = value; break;
    case 5: FEvtChar = value; break;
    default: break;
    }
    if (FOwner) FOwner->UpdateDataControlBlock();
}

void TCommEventChars::Assign(const TObject* source) {
    const auto* chars = dynamic_cast<const TCommEventChars*>(source);
    if (!chars) throw std::invalid_argument("Cannot assign this source to a TCommEventChars");
    FXonChar = chars->FXonChar;
    FXoffChar = chars->FXoffChar;
    FErrorChar = chars->FErrorChar;
    FEofChar = chars->FEofChar;
    FEvtChar = chars->FEvtChar;
}

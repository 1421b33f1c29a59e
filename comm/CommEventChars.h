// Serial port component: the five event characters of a port.
#pragma once

#include "comm/CommTypes.h"

class TCommEventChars : public TObject {
public:
    explicit TCommEventChars(TCustomComm* owner);
    void SetByIndex(int index, char value);
    // Copies the five characters from another TCommEventChars; any other source throws.
    void Assign(const TObject* source);

    char XonChar() const { return FXonChar; }
    char XoffChar() const { return FXoffChar; }
    char ErrorChar() const { return FErrorChar; }
    char EofChar() const { return FEofChar; }
    char EvtChar() const { return FEvtChar; }
    void SetXonChar(char c) { SetByIndex(1, c); }
    void SetXoffChar(char c) { SetByIndex(2, c); }
    void SetErrorChar(char c) { SetByIndex(3, c); }
    void SetEofChar(char c) { SetByIndex(4, c); }
    void SetEvtChar(char c) { SetByIndex(5, c); }

private:
    TCustomComm* FOwner;
    char FXonChar = 17, FXoffChar = 19, FErrorChar = 0, FEofChar = 0, FEvtChar = 0;
};

// A static text with no background of its own: the parent's background
// shows through, and a text change repaints the parent underneath so that
// nothing of the old text remains.
#pragma once
#include "../framework/Control.h"

class CTransparentStatic : public tw::Control {
public:
    bool OnReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

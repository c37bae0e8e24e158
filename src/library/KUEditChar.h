#pragma once

// A character entry for the velocity library's brand names. It is the ordinary
// character entry and adds nothing; the library view uses the base class directly.

#include "device/EnterChar.h"

class CKUEditChar : public CEnterChar {
    Q_OBJECT
public:
    using CEnterChar::CEnterChar;
    ~CKUEditChar() override;
};

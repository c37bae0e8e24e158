#pragma once

#include "ui/FlatSplitterWnd.h"

// The class of the main frame's three splitters.
class CPELSplitterWnd : public CFlatSplitterWnd {
    Q_OBJECT
public:
    using CFlatSplitterWnd::CFlatSplitterWnd;
};

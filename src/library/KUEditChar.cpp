#include "library/KUEditChar.h"

CKUEditChar::~CKUEditChar() = default;

#include "persistence/MultimediaTools.h"

#include "platform/Platform.h"

uint32_t GetTickMs() { return plat::TickCount(); }

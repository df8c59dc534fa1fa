// The window half of the platform layer, in one include.
#pragma once

#include "platform/automation.h"
#include "platform/backend.h"
#include "platform/caret.h"
#include "platform/clipboard.h"
#include "platform/gdi.h"
#include "platform/ime.h"
#include "platform/ipc.h"
#include "platform/library.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/screen.h"
#include "platform/scrollbar.h"
#include "platform/surface.h"
#include "platform/window.h"

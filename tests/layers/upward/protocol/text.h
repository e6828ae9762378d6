#pragma once
#include <QString>
#include "protocol/state.h"
#include "platform/base/clock.h"

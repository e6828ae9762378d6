#pragma once
#include <string>
#include "link/link.h"

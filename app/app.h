// The application helpers every subsystem may use: console, fatal errors, trace, clock,
// file helpers and the shared registry list.
#pragma once

#include "app/clock.h"
#include "app/console.h"
#include "app/files.h"
#include "app/named_list.h"
